// Writes the state snapshot file on a thread of its own, so that the main
// thread only prints the text: with a thousand gates waiting the file is
// 400 KB, and replacing it would hold up the next decision. A text that has
// not been written yet is replaced by a newer one; readers only ever see
// whole files.
//
// A refresh (not `always`) whose lists equal the last ones written is skipped
// while that file is still there and younger than kHeartbeat: the
// two-second refresh would otherwise rewrite an unchanged file forever. Only its "ts" then lags; it
// still advances every kHeartbeat, so a reader can tell a running app from a
// stopped one.
//
// submit() and flush() may be called from any thread; the destructor writes
// what is pending, then joins the writing thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <optional>
#include <string>
#include <thread>

#include "engine/support/clock.h"
#include "engine/support/thread_annotations.h"

namespace vorla {

class SnapshotWriter {
  public:
    SnapshotWriter();
    ~SnapshotWriter();
    SnapshotWriter(const SnapshotWriter&) = delete;
    SnapshotWriter& operator=(const SnapshotWriter&) = delete;

    static constexpr std::chrono::seconds kHeartbeat{30};

    // Queues `text` (stamped `at`) for `path` (see writeSnapshot), replacing
    // an unwritten one; `always` writes it even when it repeats the last.
    void submit(std::string path, std::string text, WallTime at, bool always);
    // Returns once everything submitted so far has been written.
    void flush();

  private:
    struct Job {
        std::string path;
        std::string text;
        WallTime at;
        bool always = false;
    };

    void run();
    // Whether `job` only repeats the last write (writer thread only).
    [[nodiscard]] bool repeatsLastWrite(const Job& job) const;

    Mutex mutex_;
    std::condition_variable changed_;
    std::optional<Job> pending_ VORLA_GUARDED_BY(mutex_);
    bool writing_ VORLA_GUARDED_BY(mutex_) = false;
    bool stopping_ VORLA_GUARDED_BY(mutex_) = false;
    std::optional<Job> written_;  // writer thread only
    bool toldFailure_ = false;    // writer thread only

    std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace vorla
