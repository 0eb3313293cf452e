#include "engine/session/control_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
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
    int fd = UnixSocket::listen(path_, 16);
    int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        int saved = errno;
        ::close(fd);
        throw UnixSocket::Error(UnixSocket::Error::Kind::listenFailed, saved);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    struct stat info {};
    if (::stat(path_.c_str(), &info) == 0) {
        socketDevice_ = info.st_dev;
        socketInode_ = info.st_ino;
    }
    listenFD_ = fd;
    wakeFD_ = wake;
    thread_ = std::thread([this] { acceptLoop(); });
}

void ControlServer::stop() {
    if (stopping_.exchange(true)) {
        return;
    }
    handler_.reset();
    if (wakeFD_ >= 0) {
        std::uint64_t one = 1;
        [[maybe_unused]] auto ignored = ::write(wakeFD_, &one, sizeof(one));
    }
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
    if (listenFD_ >= 0) {
        ::close(listenFD_);
        listenFD_ = -1;
        // A second instance may have replaced the file: leave its socket alone.
        struct stat info {};
        if (::stat(path_.c_str(), &info) == 0 && info.st_dev == socketDevice_ &&
            info.st_ino == socketInode_) {
            ::unlink(path_.c_str());
        }
    }
    if (wakeFD_ >= 0) {
        ::close(wakeFD_);
        wakeFD_ = -1;
    }
}

void ControlServer::acceptLoop() {
    std::array<pollfd, 2> fds{pollfd{listenFD_, POLLIN, 0}, pollfd{wakeFD_, POLLIN, 0}};
    while (!stopping_.load()) {
        int ready = ::poll(fds.data(), fds.size(), -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0 || fds[1].revents != 0 || (fds[0].revents & POLLNVAL) != 0) {
            return;
        }
        int fd = ::accept4(listenFD_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Let the pending connection wait rather than spin on it.
                ::poll(&fds[1], 1, 50);
            }
            continue;
        }
        serve(fd);
        ::close(fd);
    }
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
