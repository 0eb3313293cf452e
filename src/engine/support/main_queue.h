// The main thread's task queue. Engine objects that live on the main thread
// are reached from other threads only through post(); timers run there too.
//
// MainQueue is an interface: the desktop app implements it on Qt's event
// loop; LoopMainQueue is the plain implementation for --headless and tests.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <vector>

#include "engine/support/clock.h"
#include "engine/support/thread_annotations.h"

namespace vorla {

// Cancels a delayed task. Copyable; cancel() is safe from any thread and after
// the task ran. A default-constructed handle cancels nothing.
class TimerHandle {
  public:
    TimerHandle() = default;
    explicit TimerHandle(std::shared_ptr<std::atomic<bool>> cancelled)
        : cancelled_(std::move(cancelled)) {}
    void cancel() const {
        if (cancelled_) {
            cancelled_->store(true);
        }
    }

  private:
    std::shared_ptr<std::atomic<bool>> cancelled_;
};

class MainQueue {
  public:
    using Task = std::function<void()>;
    virtual ~MainQueue() = default;

    // Runs `task` on the main thread soon, after tasks posted before it.
    // Safe from any thread.
    virtual void post(Task task) = 0;

    // Runs `task` on the main thread once `delay` has passed, unless cancelled.
    // Safe from any thread.
    virtual TimerHandle postAfter(std::chrono::milliseconds delay, Task task) = 0;
};

// A condition-variable loop. run() must be called from the thread that owns
// the engine objects; post/postAfter/quit from anywhere. Delays are measured
// on the given clock's steady time, so a test with a fake clock calls
// runPending() after moving the clock forward instead of sleeping.
class LoopMainQueue final : public MainQueue {
  public:
    explicit LoopMainQueue(const Clock& clock = SystemClock::shared());

    void post(Task task) override;
    TimerHandle postAfter(std::chrono::milliseconds delay, Task task) override;

    // Serves tasks and timers until quit(). Returns at once if quit() was
    // already called.
    void run();
    // Makes run() return after the task in progress. Tasks not run yet stay
    // queued: runPending() at exit still runs them.
    void quit();

    // Runs every task posted so far and every timer that is due now, without
    // waiting; returns how many ran. For tests and for draining at exit.
    std::size_t runPending();

  private:
    struct Timer {
        SteadyTime due;
        std::uint64_t order;
        Task task;
        std::shared_ptr<std::atomic<bool>> cancelled;
    };

    // Takes the ready tasks and due timers out.
    std::vector<Task> takeReady() VORLA_REQUIRES(mutex_);

    const Clock& clock_;

    Mutex mutex_;
    std::condition_variable wake_;
    std::vector<Task> tasks_ VORLA_GUARDED_BY(mutex_);
    std::vector<Timer> timers_ VORLA_GUARDED_BY(mutex_);
    std::uint64_t nextOrder_ VORLA_GUARDED_BY(mutex_) = 0;
    bool quit_ VORLA_GUARDED_BY(mutex_) = false;
};

}  // namespace vorla
