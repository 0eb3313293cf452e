#include "engine/session/snapshot_writer.h"

#include "engine/session/state_snapshot.h"

namespace vorla {

SnapshotWriter::SnapshotWriter() : thread_([this] { run(); }) {}

SnapshotWriter::~SnapshotWriter() {
    {
        MutexLock lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void SnapshotWriter::submit(std::string path, std::string text) {
    {
        MutexLock lock(mutex_);
        pending_ = Job{std::move(path), std::move(text)};
    }
    changed_.notify_all();
}

void SnapshotWriter::flush() {
    MutexLock lock(mutex_);
    changed_.wait(lock.native(),
                  [this]() VORLA_REQUIRES(mutex_) { return !pending_ && !writing_; });
}

void SnapshotWriter::run() {
    MutexLock lock(mutex_);
    for (;;) {
        changed_.wait(lock.native(),
                      [this]() VORLA_REQUIRES(mutex_) { return pending_ || stopping_; });
        if (!pending_) {
            return;  // stopping, and nothing left to write
        }
        Job job = std::move(*pending_);
        pending_.reset();
        writing_ = true;
        lock.unlock();
        writeSnapshot(job.path, job.text);
        lock.lock();
        writing_ = false;
        changed_.notify_all();  // a flush() may be waiting
    }
}

}  // namespace vorla
