#include "engine/support/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>

namespace vorla {

namespace {

void syncDirectory(const std::string& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

bool writeFully(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
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

bool ensurePrivateDirectory(const std::string& path) {
    std::error_code error;
    std::filesystem::path dir(path);
    if (std::filesystem::is_directory(dir, error)) {
        return true;
    }
    // Create one level at a time so every folder we make gets 0700.
    if (dir.has_parent_path() && dir.parent_path() != dir) {
        if (!ensurePrivateDirectory(dir.parent_path().string())) {
            return false;
        }
    }
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    return std::filesystem::is_directory(dir, error);
}

bool writeFileAtomically(const std::string& path, std::string_view contents, Durability durability,
                         unsigned mode) {
    std::filesystem::path target(path);
    std::string dir = target.has_parent_path() ? target.parent_path().string() : ".";
    if (!ensurePrivateDirectory(dir)) {
        return false;
    }
    std::string temp = path + ".tmp-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return false;
    }
    bool ok = ::fchmod(fd, static_cast<mode_t>(mode)) == 0 && writeFully(fd, contents);
    if (ok && durability == Durability::synced) {
        ok = ::fsync(fd) == 0;
    }
    ok = (::close(fd) == 0) && ok;
    if (ok) {
        ok = ::rename(temp.c_str(), path.c_str()) == 0;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    if (durability == Durability::synced) {
        syncDirectory(dir);
    }
    return true;
}

std::optional<std::string> readFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string data;
    std::array<char, 64 * 1024> chunk{};
    for (;;) {
        ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        data.append(chunk.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    return data;
}

}  // namespace vorla
