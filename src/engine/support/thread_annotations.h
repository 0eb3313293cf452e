// Clang's thread-safety attributes, checked at compile time by the `clang`
// preset (-Wthread-safety); other compilers see nothing. libstdc++'s std::mutex
// carries no capability attribute, so guarded members use Mutex and MutexLock.
//
// Waiting on a std::condition_variable goes through MutexLock::native(); a
// predicate lambda that reads guarded members says so with
// VORLA_REQUIRES(mutex), since the analysis cannot see that wait() calls it
// with the lock held.
#pragma once

#include <mutex>

#if defined(__clang__)
#define VORLA_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define VORLA_THREAD_ANNOTATION(x)
#endif

#define VORLA_CAPABILITY(x) VORLA_THREAD_ANNOTATION(capability(x))
#define VORLA_SCOPED_CAPABILITY VORLA_THREAD_ANNOTATION(scoped_lockable)
#define VORLA_GUARDED_BY(x) VORLA_THREAD_ANNOTATION(guarded_by(x))
#define VORLA_PT_GUARDED_BY(x) VORLA_THREAD_ANNOTATION(pt_guarded_by(x))
#define VORLA_REQUIRES(...) VORLA_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define VORLA_EXCLUDES(...) VORLA_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define VORLA_ACQUIRE(...) VORLA_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define VORLA_RELEASE(...) VORLA_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define VORLA_TRY_ACQUIRE(...) VORLA_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define VORLA_RETURN_CAPABILITY(x) VORLA_THREAD_ANNOTATION(lock_returned(x))
#define VORLA_NO_THREAD_SAFETY_ANALYSIS VORLA_THREAD_ANNOTATION(no_thread_safety_analysis)

namespace vorla {

class VORLA_CAPABILITY("mutex") Mutex {
  public:
    void lock() VORLA_ACQUIRE() { mutex_.lock(); }
    void unlock() VORLA_RELEASE() { mutex_.unlock(); }
    [[nodiscard]] bool try_lock() VORLA_TRY_ACQUIRE(true) { return mutex_.try_lock(); }

  private:
    friend class MutexLock;
    std::mutex mutex_;
};

// Holds a Mutex for its scope; unlock() and lock() let a caller step out of the
// lock in the middle (to do slow work) and back in.
class VORLA_SCOPED_CAPABILITY MutexLock {
  public:
    explicit MutexLock(Mutex& mutex) VORLA_ACQUIRE(mutex) : lock_(mutex.mutex_) {}
    ~MutexLock() VORLA_RELEASE() {}
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    void unlock() VORLA_RELEASE() { lock_.unlock(); }
    void lock() VORLA_ACQUIRE() { lock_.lock(); }

    // For std::condition_variable::wait and friends.
    [[nodiscard]] std::unique_lock<std::mutex>& native() { return lock_; }

  private:
    std::unique_lock<std::mutex> lock_;
};

}  // namespace vorla
