#include "engine/session/snapshot_writer.h"

#include <filesystem>

#include "engine/session/state_snapshot.h"
#include "engine/support/log.h"

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

namespace {

// The snapshot after its leading "ts" member: the part that says something.
std::string_view lists(std::string_view text) {
    const auto comma = text.find(',');
    return comma == std::string_view::npos ? text : text.substr(comma);
}

}  // namespace

void SnapshotWriter::submit(std::string path, std::string text, WallTime at, bool always) {
    {
        MutexLock lock(mutex_);
        // A newer text replaces an unwritten one, but not its reason to be written.
        always = always || (pending_ && pending_->always);
        pending_ = Job{std::move(path), std::move(text), at, always};
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
        if (!repeatsLastWrite(job)) {
            written_.reset();
            if (auto wrote = writeSnapshot(job.path, job.text); !wrote) {
                // Once per failing stretch: the next refresh tries again.
                if (!toldFailure_) {
                    logLine("Vorla Agents: could not write " + job.path + ": " +
                            wrote.error().message);
                }
                toldFailure_ = true;
            } else {
                toldFailure_ = false;
                written_ = std::move(job);
            }
        }
        lock.lock();
        writing_ = false;
        changed_.notify_all();  // a flush() may be waiting
    }
}

bool SnapshotWriter::repeatsLastWrite(const Job& job) const {
    std::error_code error;
    return !job.always && written_ && written_->path == job.path &&
           job.at - written_->at < kHeartbeat && job.at >= written_->at &&
           lists(written_->text) == lists(job.text) && std::filesystem::exists(job.path, error);
}

}  // namespace vorla
