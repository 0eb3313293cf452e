// Writes the state snapshot file on a thread of its own, so that the main
// thread only prints the text: with a thousand gates waiting the file is
// 400 KB, and replacing it would hold up the next decision. A text that has
// not been written yet is replaced by a newer one; readers only ever see
// whole files.
//
// submit() and flush() may be called from any thread; the destructor writes
// what is pending, then joins the writing thread.
#pragma once

#include <condition_variable>
#include <optional>
#include <string>
#include <thread>

#include "engine/support/thread_annotations.h"

namespace vorla {

class SnapshotWriter {
  public:
    SnapshotWriter();
    ~SnapshotWriter();
    SnapshotWriter(const SnapshotWriter&) = delete;
    SnapshotWriter& operator=(const SnapshotWriter&) = delete;

    // Queues `text` for `path` (see writeSnapshot), replacing an unwritten one.
    void submit(std::string path, std::string text);
    // Returns once everything submitted so far has been written.
    void flush();

  private:
    struct Job {
        std::string path;
        std::string text;
    };

    void run();

    Mutex mutex_;
    std::condition_variable changed_;
    std::optional<Job> pending_ VORLA_GUARDED_BY(mutex_);
    bool writing_ VORLA_GUARDED_BY(mutex_) = false;
    bool stopping_ VORLA_GUARDED_BY(mutex_) = false;

    std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace vorla
