#include "core/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace vorla {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        reset(other.release());
    }
    return *this;
}

int UniqueFd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) {
        // Not retried on EINTR: Linux has released the descriptor already.
        ::close(fd_);
    }
    fd_ = fd;
}

bool UniqueFd::close() {
    const int fd = release();
    return fd < 0 || ::close(fd) == 0;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::optional<std::string> readAll(int fd) {
    std::string data;
    std::array<char, std::size_t{64} << 10> chunk{};
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            return data;
        }
        data.append(chunk.data(), static_cast<std::size_t>(n));
    }
}

std::optional<std::string> readFile(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        return std::nullopt;
    }
    return readAll(fd.get());
}

UniqueFd openOwnFile(const std::string& path, int flags, unsigned mode) {
    UniqueFd fd(::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                       static_cast<mode_t>(mode)));
    if (!fd) {
        return fd;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return {};
    }
    if ((flags & O_NONBLOCK) == 0) {
        (void)::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    }
    return fd;
}

std::optional<std::string> readOwnFile(const std::string& path) {
    const UniqueFd fd = openOwnFile(path, O_RDONLY);
    if (!fd) {
        return std::nullopt;
    }
    return readAll(fd.get());
}

}  // namespace vorla
