#include "engine/support/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/unique_fd.h"

namespace vorla {

namespace {

tl::unexpected<Error> failWith(int error) {
    return fail(std::strerror(error != 0 ? error : EIO));
}

void syncDirectory(const std::string& dir) {
    const UniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) {
        ::fsync(fd.get());
    }
}

}  // namespace

Result<> ensurePrivateDirectory(const std::string& path) {
    std::error_code error;
    std::filesystem::path dir(path);
    if (std::filesystem::is_directory(dir, error)) {
        return {};
    }
    // Create one level at a time so every folder we make gets 0700.
    if (dir.has_parent_path() && dir.parent_path() != dir) {
        if (auto parent = ensurePrivateDirectory(dir.parent_path().string()); !parent) {
            return parent;
        }
    }
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return failWith(errno);
    }
    if (!std::filesystem::is_directory(dir, error)) {
        return failWith(ENOTDIR);
    }
    return {};
}

Result<> writeFileAtomically(const std::string& path, std::string_view contents,
                             Durability durability, unsigned mode) {
    std::filesystem::path target(path);
    std::string dir = target.has_parent_path() ? target.parent_path().string() : ".";
    if (auto made = ensurePrivateDirectory(dir); !made) {
        return made;
    }
    std::string temp = path + ".tmp-XXXXXX";
    // O_EXCL (mkstemp's own): a link planted under the temporary name is
    // never followed, the name is simply taken afresh.
    UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd) {
        return failWith(errno);
    }
    // errno is taken where the step failed: removing the temporary file
    // would overwrite it.
    errno = 0;
    int error = 0;
    if (::fchmod(fd.get(), static_cast<mode_t>(mode)) != 0 || !writeAll(fd.get(), contents) ||
        (durability == Durability::synced && ::fsync(fd.get()) != 0)) {
        error = errno != 0 ? errno : EIO;
    }
    if (!fd.close() && error == 0) {
        error = errno != 0 ? errno : EIO;
    }
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temp.c_str());
        return failWith(error);
    }
    if (durability == Durability::synced) {
        syncDirectory(dir);
    }
    return {};
}

}  // namespace vorla
