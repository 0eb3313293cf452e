#include "support/scoped_tmpfs.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

namespace vorla::test {

ScopedTmpfs::ScopedTmpfs(std::string dir, std::size_t bytes) : dir_(std::move(dir)), bytes_(bytes) {
    std::error_code ignored;
    std::filesystem::create_directories(dir_, ignored);
    const std::string options = "size=" + std::to_string(bytes_) + ",mode=0700";
    if (::mount("tmpfs", dir_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0) {
        mounted_ = true;
    } else {
        reason_ = "cannot mount a tmpfs on " + dir_ + ": " + std::strerror(errno);
    }
}

ScopedTmpfs::~ScopedTmpfs() {
    if (mounted_) {
        ::umount2(dir_.c_str(), MNT_DETACH);
    }
}

std::string ScopedTmpfs::fill() const {
    const std::string path = dir_ + "/filler";
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    std::vector<char> block(4096, 'x');
    // Whole pages first, then single bytes, until not one more fits.
    for (std::size_t size : {block.size(), std::size_t{1}}) {
        while (fd >= 0 && ::write(fd, block.data(), size) > 0) {
        }
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return path;
}

void ScopedTmpfs::drain() const {
    ::unlink((dir_ + "/filler").c_str());
}

bool ScopedTmpfs::setReadOnly(bool readOnly) const {
    const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    const std::string options = "size=" + std::to_string(bytes_) + ",mode=0700";
    return ::mount("tmpfs", dir_.c_str(), "tmpfs", flags, options.c_str()) == 0;
}

}  // namespace vorla::test
