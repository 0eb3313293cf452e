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

constexpr std::array<const char*, 6> kKindNames = {"socketFailed", "connectFailed", "bindFailed",
                                                   "listenFailed", "pathTooLong",   "closed"};

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

}  // namespace

std::string Error::describe() const {
    const char* name = kKindNames.at(static_cast<std::size_t>(kind_));
    if (kind_ == Kind::pathTooLong || kind_ == Kind::closed) {
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

std::optional<std::string> readLine(int fd, std::string start) {
    // Reads straight into the line, doubling it as needed: a megabyte line
    // costs a few large reads and no second copy.
    constexpr std::size_t kFirstRead = std::size_t{16} << 10;
    std::string line = std::move(start);
    std::size_t used = line.size();
    line.resize(std::max(kFirstRead, 2 * used));
    for (;;) {
        if (used == line.size()) {
            line.resize(line.size() * 2);
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
