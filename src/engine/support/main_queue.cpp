#include "engine/support/main_queue.h"

#include <algorithm>

namespace vorla {

LoopMainQueue::LoopMainQueue(const Clock& clock) : clock_(clock) {}

void LoopMainQueue::post(Task task) {
    {
        MutexLock lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

TimerHandle LoopMainQueue::postAfter(std::chrono::milliseconds delay, Task task) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    {
        MutexLock lock(mutex_);
        timers_.push_back(
            Timer{clock_.steadyNow() + delay, nextOrder_++, std::move(task), cancelled});
    }
    wake_.notify_one();
    return TimerHandle(cancelled);
}

std::vector<MainQueue::Task> LoopMainQueue::takeReady() {
    std::vector<Task> ready;
    ready.swap(tasks_);
    SteadyTime now = clock_.steadyNow();
    auto due = std::stable_partition(timers_.begin(), timers_.end(),
                                     [now](const Timer& t) { return t.due > now; });
    std::vector<Timer> fired(std::make_move_iterator(due), std::make_move_iterator(timers_.end()));
    timers_.erase(due, timers_.end());
    std::sort(fired.begin(), fired.end(), [](const Timer& a, const Timer& b) {
        return a.due != b.due ? a.due < b.due : a.order < b.order;
    });
    for (auto& timer : fired) {
        if (!timer.cancelled->load()) {
            ready.push_back(std::move(timer.task));
        }
    }
    return ready;
}

std::size_t LoopMainQueue::runPending() {
    std::size_t count = 0;
    for (;;) {
        std::vector<Task> ready;
        {
            MutexLock lock(mutex_);
            ready = takeReady();
        }
        if (ready.empty()) {
            return count;
        }
        for (auto& task : ready) {
            task();
            ++count;
        }
    }
}

void LoopMainQueue::run() {
    for (;;) {
        std::vector<Task> ready;
        {
            MutexLock lock(mutex_);
            for (;;) {
                if (quit_) {
                    return;
                }
                ready = takeReady();
                if (!ready.empty()) {
                    break;
                }
                if (timers_.empty()) {
                    wake_.wait(lock.native());
                } else {
                    auto next = std::min_element(
                        timers_.begin(), timers_.end(),
                        [](const Timer& a, const Timer& b) { return a.due < b.due; });
                    // Waits in real time; a fake clock's tests use runPending().
                    auto wait = next->due - clock_.steadyNow();
                    wake_.wait_for(lock.native(), std::max(wait, SteadyTime::duration::zero()));
                }
            }
        }
        for (auto task = ready.begin(); task != ready.end(); ++task) {
            (*task)();
            MutexLock lock(mutex_);
            if (quit_) {
                // Taken but not run: back in front, for runPending() at exit.
                tasks_.insert(tasks_.begin(), std::make_move_iterator(task + 1),
                              std::make_move_iterator(ready.end()));
                return;
            }
        }
    }
}

void LoopMainQueue::quit() {
    {
        MutexLock lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
}

}  // namespace vorla
