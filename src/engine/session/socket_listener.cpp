#include "engine/session/socket_listener.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>

#include "core/unix_socket.h"
#include "engine/support/log.h"

namespace vorla {

namespace {

// Failures that mean the listening socket itself is gone.
bool isListenerGone(int error) {
    return error == EBADF || error == EINVAL || error == ENOTSOCK;
}

}  // namespace

void SocketListener::open(const std::string& path, int backlog) {
    UniqueFd listening(UnixSocket::listen(path, backlog));
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake) {
        throw UnixSocket::Error(UnixSocket::Error::Kind::listenFailed, errno);
    }
    // Non-blocking, so an accept after poll never hangs when the peer left.
    ::fcntl(listening.get(), F_SETFL, ::fcntl(listening.get(), F_GETFL) | O_NONBLOCK);
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        socketDevice_ = info.st_dev;
        socketInode_ = info.st_ino;
    }
    path_ = path;
    listenFD_ = std::move(listening);
    wakeFD_ = std::move(wake);
}

void SocketListener::wake() {
    woken_.store(true);
    if (wakeFD_) {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto ignored = ::write(wakeFD_.get(), &one, sizeof(one));
    }
}

void SocketListener::close() {
    if (listenFD_) {
        listenFD_.reset();
        struct stat info {};
        if (::stat(path_.c_str(), &info) == 0 && info.st_dev == socketDevice_ &&
            info.st_ino == socketInode_) {
            ::unlink(path_.c_str());
        }
    }
    wakeFD_.reset();
}

bool SocketListener::pause(std::chrono::milliseconds backoff) const {
    pollfd wake{wakeFD_.get(), POLLIN, 0};
    const int ready = ::poll(&wake, 1, static_cast<int>(backoff.count()));
    return ready <= 0 && !woken();
}

void SocketListener::admit(UniqueFd fd, const Loop& loop) {
    auto peer = UnixSocket::peerOf(fd.get());
    if (peer && peer->uid == ::geteuid()) {
        loop.onConnection(std::move(fd), *peer);
        return;
    }
    if (!toldRefusal_) {
        toldRefusal_ = true;
        logLine("Vorla Agents: refused a connection on " + path_ + " from " +
                (peer ? "uid " + std::to_string(peer->uid) : std::string("an unknown peer")) +
                "; only this user's processes may connect");
    }
}

void SocketListener::run(const Loop& loop) {
    std::array<pollfd, 2> fds{pollfd{listenFD_.get(), POLLIN, 0}, pollfd{wakeFD_.get(), POLLIN, 0}};
    while (!woken()) {
        if (loop.beforeWait) {
            loop.beforeWait();
        }
        const int ready =
            ::poll(fds.data(), fds.size(), static_cast<int>(loop.idleInterval.count()));
        if (ready == 0 || (ready < 0 && errno == EINTR)) {
            continue;
        }
        if (ready < 0) {
            if (!pause(loop.backoff)) {
                return;
            }
            continue;
        }
        if (fds[1].revents != 0 || woken() || (fds[0].revents & POLLNVAL) != 0) {
            return;
        }
        // Take every connection already waiting before polling again.
        int fd = -1;
        while (!woken() && (fd = ::accept4(listenFD_.get(), nullptr, nullptr, SOCK_CLOEXEC)) >= 0) {
            admit(UniqueFd(fd), loop);
        }
        if (fd >= 0 || woken()) {
            continue;
        }
        const int error = errno;
        if (error == EINTR || error == EAGAIN || error == EWOULDBLOCK) {
            continue;
        }
        if (isListenerGone(error)) {
            return;
        }
        failedAccepts_.fetch_add(1);
        if (!pause(loop.backoff)) {
            return;
        }
    }
}

}  // namespace vorla
