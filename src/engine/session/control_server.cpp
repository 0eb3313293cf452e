#include "engine/session/control_server.h"

#include <sys/socket.h>

#include <condition_variable>
#include <optional>

#include "core/unix_socket.h"
#include "engine/session/control_protocol.h"

namespace vorla {

struct ControlServer::Pending {
    Mutex mutex;
    std::condition_variable done;
    std::optional<std::string> reply VORLA_GUARDED_BY(mutex);
    bool cancelled VORLA_GUARDED_BY(mutex) = false;
};

ControlServer::ControlServer(MainQueue& queue, Handler handler)
    : ControlServer(queue, std::move(handler), Options{}) {}

ControlServer::ControlServer(MainQueue& queue, Handler handler, Options options)
    : queue_(queue),
      handler_(std::make_shared<Handler>(std::move(handler))),
      weakHandler_(handler_),
      options_(std::move(options)) {}

ControlServer::~ControlServer() {
    stop();
}

void ControlServer::start() {
    path_ = options_.path.empty() ? controlSocketPath() : options_.path;
    listener_.open(path_, 16);
    // One connection at a time: requests are tiny and answered at once.
    SocketListener::Loop loop;
    loop.onConnection = [this](UniqueFd fd) { serve(fd.get()); };
    thread_ = std::thread([this, loop = std::move(loop)] { listener_.run(loop); });
}

void ControlServer::stop() {
    if (stopping_.exchange(true)) {
        return;
    }
    handler_.reset();
    listener_.wake();
    {
        MutexLock lock(mutex_);
        if (current_) {
            MutexLock pendingLock(current_->mutex);
            current_->cancelled = true;
            current_->done.notify_all();
        }
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    listener_.close();
}

void ControlServer::serve(int fd) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(options_.readTimeout.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>((options_.readTimeout.count() % 1000) * 1000);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    std::optional<std::string> line;
    try {
        line = UnixSocket::readLine(fd);
    } catch (const UnixSocket::Error&) {
        return;  // nothing sent in time
    }
    if (!line) {
        return;
    }
    std::string reply = answerOnMainThread(std::move(*line));
    try {
        UnixSocket::writeLine(fd, reply);
    } catch (const UnixSocket::Error&) {
        // The client left without waiting for its answer.
    }
}

std::string ControlServer::answerOnMainThread(std::string line) {
    auto pending = std::make_shared<Pending>();
    {
        MutexLock lock(mutex_);
        current_ = pending;
        // stop() cancels the answer it finds here; one that comes after it
        // must not wait for a main thread that has stopped.
        MutexLock pendingLock(pending->mutex);
        pending->cancelled = stopping_.load();
    }
    std::weak_ptr<Handler> handler = weakHandler_;
    queue_.post([handler, pending, line = std::move(line)] {
        auto run = handler.lock();
        std::string reply = run ? (*run)(line) : std::string();
        MutexLock lock(pending->mutex);
        pending->reply = std::move(reply);
        pending->done.notify_all();
    });
    MutexLock lock(pending->mutex);
    pending->done.wait_for(lock.native(), options_.answerTimeout,
                           [&]() VORLA_REQUIRES(pending->mutex) {
                               return pending->reply.has_value() || pending->cancelled;
                           });
    std::string reply;
    if (pending->reply && !pending->reply->empty()) {
        reply = std::move(*pending->reply);
    } else {
        reply = controlFailure("busy", pending->cancelled ? "the app is shutting down"
                                                          : "the app did not answer in time")
                    .dump();
    }
    lock.unlock();
    MutexLock guard(mutex_);
    current_.reset();
    return reply;
}

}  // namespace vorla
