#include "engine/support/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "core/unique_fd.h"

namespace vorla {

namespace {

void syncDirectory(const std::string& dir) {
    const UniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) {
        ::fsync(fd.get());
    }
}

}  // namespace

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
    UniqueFd fd(::mkstemp(temp.data()));
    if (!fd) {
        return false;
    }
    bool ok = ::fchmod(fd.get(), static_cast<mode_t>(mode)) == 0 && writeAll(fd.get(), contents);
    if (ok && durability == Durability::synced) {
        ok = ::fsync(fd.get()) == 0;
    }
    ok = fd.close() && ok;
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

}  // namespace vorla
