#include "core/unix_socket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/unique_fd.h"

namespace vorla::UnixSocket {

namespace {

constexpr std::array<const char*, 7> kKindNames = {"socketFailed", "connectFailed", "bindFailed",
                                                   "listenFailed", "pathTooLong",   "closed",
                                                   "lineTooLong"};

UniqueFd newSocket() {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
        throw Error(Error::Kind::socketFailed, errno);
    }
    return fd;
}

// mkdir -p: every missing folder of `path`, the last one private; failures
// show up at bind(). A folder that already existed keeps its mode: it may be
// shared, as /tmp is. Plain calls rather than <filesystem>, which the bridge
// would otherwise link.
void makeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0777);
    }
    if (::mkdir(path.c_str(), 0700) == 0) {
        ::chmod(path.c_str(), 0700);  // whatever the umask
    }
}

// lstat, so that a symbolic link is judged itself and never what it names.
bool ownedByUs(const std::string& path, bool folder) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || info.st_uid != ::geteuid()) {
        return false;
    }
    if (folder) {
        return S_ISDIR(info.st_mode) && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
    }
    return S_ISSOCK(info.st_mode);
}

std::string parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

std::string Error::describe() const {
    const char* name = kKindNames.at(static_cast<std::size_t>(kind_));
    if (kind_ == Kind::pathTooLong || kind_ == Kind::closed || kind_ == Kind::lineTooLong) {
        return name;
    }
    std::array<char, 256> text{};
    std::snprintf(text.data(), text.size(), "%s(%d: %s)", name, errno_, std::strerror(errno_));
    return text.data();
}

sockaddr_un makeAddr(std::string_view path) {
    sockaddr_un address{};
    if (path.size() > kMaxPathBytes) {
        throw Error(Error::Kind::pathTooLong, 0);
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    address.sun_path[path.size()] = '\0';
    return address;
}

std::optional<int> tryConnect(std::string_view path) {
    if (path.size() > kMaxPathBytes) {
        return std::nullopt;
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
        return std::nullopt;
    }
    sockaddr_un address = makeAddr(path);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        return std::nullopt;
    }
    return fd.release();
}

std::optional<int> tryConnectOwned(const std::string& path) {
    const std::string folder = parentOf(path);
    if (!ownedByUs(parentOf(folder), true) || !ownedByUs(folder, true) || !ownedByUs(path, false)) {
        return std::nullopt;
    }
    auto connected = tryConnect(path);
    if (!connected) {
        return std::nullopt;
    }
    UniqueFd fd(*connected);
    // The files may have been swapped since they were looked at; the
    // kernel's word on the listener is what counts.
    auto peer = peerOf(fd.get());
    if (!peer || peer->uid != ::geteuid()) {
        return std::nullopt;
    }
    return fd.release();
}

int connect(std::string_view path) {
    UniqueFd fd = newSocket();
    sockaddr_un address = makeAddr(path);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        throw Error(Error::Kind::connectFailed, errno);  // errno is read before fd closes
    }
    return fd.release();
}

int listen(std::string_view path, int backlog) {
    const std::string file(path);
    UniqueFd fd = newSocket();
    // Checked first: a path that is too long changes nothing on disk.
    sockaddr_un address = makeAddr(path);
    if (auto slash = file.rfind('/'); slash != std::string::npos && slash > 0) {
        makeDirectories(file.substr(0, slash));
    }
    ::unlink(file.c_str());  // a stale socket from an earlier run
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        throw Error(Error::Kind::bindFailed, errno);
    }
    if (::listen(fd.get(), backlog) != 0) {
        throw Error(Error::Kind::listenFailed, errno);
    }
    ::chmod(std::string(path).c_str(), 0600);
    return fd.release();
}

std::optional<std::string> readLine(int fd, std::size_t limit, std::string start) {
    // Reads straight into the line, doubling it as needed: a megabyte line
    // costs a few large reads and no second copy. One byte past the limit is
    // room for the line feed of a line exactly `limit` long.
    constexpr std::size_t kFirstRead = std::size_t{16} << 10;
    const std::size_t most = limit + 1;
    std::string line = std::move(start);
    std::size_t used = line.size();
    if (used > limit) {
        throw Error(Error::Kind::lineTooLong, 0);
    }
    line.resize(std::min(most, std::max(kFirstRead, 2 * used)));
    for (;;) {
        if (used == line.size()) {
            if (used == most) {
                throw Error(Error::Kind::lineTooLong, 0);
            }
            line.resize(std::min(most, line.size() * 2));
        }
        ssize_t n = ::read(fd, line.data() + used, line.size() - used);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw Error(Error::Kind::closed, errno);
        }
        if (n == 0) {
            if (used == 0) {
                return std::nullopt;
            }
            line.resize(used);
            return line;
        }
        const char* fresh = line.data() + used;
        const auto* newline =
            static_cast<const char*>(std::memchr(fresh, '\n', static_cast<size_t>(n)));
        if (newline != nullptr) {
            line.resize(static_cast<std::size_t>(newline - line.data()));
            return line;
        }
        used += static_cast<std::size_t>(n);
    }
}

std::optional<Peer> peerOf(int fd) {
    ucred credentials{};
    socklen_t size = sizeof(credentials);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof(credentials)) {
        return std::nullopt;
    }
    return Peer{credentials.pid, credentials.uid};
}

void writeLine(int fd, std::string_view bytes) {
    static const char kNewline = '\n';
    std::size_t total = bytes.size() + 1;
    std::size_t written = 0;
    while (written < total) {
        std::array<iovec, 2> parts{};
        int count = 0;
        if (written < bytes.size()) {
            parts[count++] = {const_cast<char*>(bytes.data() + written), bytes.size() - written};
        }
        parts[count++] = {const_cast<char*>(&kNewline), 1};
        msghdr message{};
        message.msg_iov = parts.data();
        message.msg_iovlen = static_cast<size_t>(count);
        // MSG_NOSIGNAL: a vanished peer must give an error, not SIGPIPE.
        ssize_t n = ::sendmsg(fd, &message, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw Error(Error::Kind::closed, n < 0 ? errno : 0);
        }
        written += static_cast<std::size_t>(n);
    }
}

}  // namespace vorla::UnixSocket
