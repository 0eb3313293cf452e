#include "engine/session/server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>

#include "core/paths.h"
#include "core/protocol.h"
#include "core/unix_socket.h"
#include "engine/support/log.h"

namespace vorla {

namespace {

constexpr int kReapIntervalMs = 1000;

// Failures that mean the listening socket itself is gone.
bool isListenerGone(int error) {
    return error == EBADF || error == EINVAL || error == ENOTSOCK;
}

void setReceiveTimeout(int fd, std::chrono::milliseconds timeout) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
}

}  // namespace

Server::Server(SessionStore& store, MainQueue& queue) : Server(store, queue, Options{}) {}

Server::Server(SessionStore& store, MainQueue& queue, Options options)
    : store_(store), queue_(queue), options_(std::move(options)) {}

Server::~Server() {
    stop();
}

void Server::start() {
    path_ = options_.path.empty() ? socketPath() : options_.path;
    int fd = UnixSocket::listen(path_, options_.backlog);
    int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        int saved = errno;
        ::close(fd);
        throw UnixSocket::Error(UnixSocket::Error::Kind::listenFailed, saved);
    }
    // Non-blocking, so an accept after poll never hangs when the peer left.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    struct stat info {};
    if (::stat(path_.c_str(), &info) == 0) {
        socketDevice_ = info.st_dev;
        socketInode_ = info.st_ino;
    }
    wakeFD_ = wake;
    listenFD_.store(fd);
    acceptThread_ = std::thread([this] { acceptLoop(); });
    logLine("Vorla Agents listening on " + path_);
}

void Server::stop() {
    if (stopping_.exchange(true)) {
        return;
    }
    if (wakeFD_ >= 0) {
        std::uint64_t one = 1;
        [[maybe_unused]] auto ignored = ::write(wakeFD_, &one, sizeof(one));
    }
    if (acceptThread_.joinable()) {
        acceptThread_.join();
    }
    if (int fd = listenFD_.exchange(-1); fd >= 0) {
        ::close(fd);
        // A second instance may have replaced the file: leave its socket alone.
        struct stat info {};
        if (::stat(path_.c_str(), &info) == 0 && info.st_dev == socketDevice_ &&
            info.st_ino == socketInode_) {
            ::unlink(path_.c_str());
        }
    }
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        for (auto& [id, connection] : connections_) {
            if (connection.fd >= 0) {
                ::shutdown(connection.fd, SHUT_RDWR);  // wakes a pending read
            }
            if (connection.box) {
                connection.box->abandon();
            }
            threads.push_back(std::move(connection.thread));
        }
    }
    for (auto& thread : threads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
    {
        std::lock_guard lock(mutex_);
        connections_.clear();
        finished_.clear();
    }
    if (wakeFD_ >= 0) {
        ::close(wakeFD_);
        wakeFD_ = -1;
    }
}

std::size_t Server::openConnections() const {
    std::lock_guard lock(mutex_);
    return connections_.size() - finished_.size();
}

bool Server::pauseAccepting() {
    pollfd wake{wakeFD_, POLLIN, 0};
    int ready = ::poll(&wake, 1, static_cast<int>(options_.acceptBackoff.count()));
    return ready <= 0 && !stopping_.load();
}

void Server::acceptLoop() {
    const int listenFD = listenFD_.load();
    std::array<pollfd, 2> fds{pollfd{listenFD, POLLIN, 0}, pollfd{wakeFD_, POLLIN, 0}};
    while (!stopping_.load()) {
        reapFinished();
        // Wake now and then to join the threads of finished connections.
        int ready = ::poll(fds.data(), fds.size(), kReapIntervalMs);
        if (ready == 0) {
            continue;
        }
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (!pauseAccepting()) {
                return;
            }
            continue;
        }
        if (fds[1].revents != 0 || stopping_.load()) {
            return;
        }
        if ((fds[0].revents & POLLNVAL) != 0) {
            return;  // the listening socket was closed under us
        }
        int fd = ::accept4(listenFD, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            spawn(fd);
            continue;
        }
        int error = errno;
        if (error == EINTR || error == EAGAIN || error == EWOULDBLOCK) {
            continue;
        }
        if (isListenerGone(error)) {
            return;
        }
        // EMFILE, ENFILE, ENOBUFS, ENOMEM, ECONNABORTED and the like pass:
        // the pending connection stays queued, so wait a moment and try
        // again rather than stop answering approvals until a restart.
        if (!pauseAccepting()) {
            return;
        }
    }
}

void Server::spawn(int fd) {
    setReceiveTimeout(fd, options_.readTimeout);
    std::lock_guard lock(mutex_);
    std::uint64_t id = nextID_++;
    Connection& connection = connections_[id];
    connection.fd = fd;
    try {
        connection.thread = std::thread([this, id, fd] { serve(id, fd); });
    } catch (const std::system_error&) {
        // No thread to be had: drop this connection; its bridge exits quietly.
        ::close(fd);
        connections_.erase(id);
    }
}

void Server::serve(std::uint64_t id, int fd) {
    std::optional<Event> event;
    try {
        if (auto line = UnixSocket::readLine(fd)) {
            event = decodeEvent(std::move(*line));
        }
    } catch (const UnixSocket::Error&) {
        // Read error or time-out: drop the connection like a garbage line.
    }
    SessionStore* store = &store_;
    if (event && !event->gating) {
        queue_.post([store, event = std::move(*event)] { store->apply(event); });
    } else if (event) {
        auto box = std::make_shared<GateBox>();
        {
            std::lock_guard lock(mutex_);
            connections_[id].box = box;
        }
        if (stopping_.load()) {
            box->abandon();  // stop() may have looked before the box was set
        }
        queue_.post([store, event = *event, box] { store->openGate(event, box); });
        Decision decision = box->wait(options_.gateTimeout);
        queue_.post([store, id = event->id] { store->closeGate(id); });
        if (!stopping_.load()) {
            try {
                UnixSocket::writeLine(fd, encode(decision));
            } catch (const UnixSocket::Error&) {
                // The bridge went away while it waited; nothing to tell.
            }
        }
    }
    finish(id);
}

void Server::finish(std::uint64_t id) {
    std::lock_guard lock(mutex_);
    auto it = connections_.find(id);
    if (it == connections_.end()) {
        return;
    }
    ::close(it->second.fd);
    it->second.fd = -1;
    it->second.box.reset();
    finished_.push_back(id);
}

void Server::reapFinished() {
    std::vector<std::thread> done;
    {
        std::lock_guard lock(mutex_);
        for (auto id : finished_) {
            auto it = connections_.find(id);
            if (it != connections_.end()) {
                done.push_back(std::move(it->second.thread));
                connections_.erase(it);
            }
        }
        finished_.clear();
    }
    for (auto& thread : done) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

}  // namespace vorla
