#include "engine/support/data_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "core/unique_fd.h"
#include "engine/support/calendar.h"

namespace vorla {

namespace {

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

DataFile::DataFile(std::string path, const Clock& clock) : path_(std::move(path)), clock_(clock) {}

std::optional<std::string> DataFile::read() {
    // Never through a symbolic link: one planted here could make us load
    // someone else's rules, or save over the file it names.
    auto contents = readOwnFile(path_);
    if (!contents && exists(path_)) {
        keepAside_ = true;  // unreadable (permissions, a link or folder in its place, ...)
    }
    return contents;
}

Result<> DataFile::moveAside() {
    if (!exists(path_)) {
        return {};  // gone meanwhile: nothing left to protect
    }
    std::string base = path_ + ".corrupt-" + fileStampUTC(clock_.now());
    std::string aside = base;
    for (int n = 2; exists(aside); ++n) {
        aside = base + "-" + std::to_string(n);
    }
    if (std::rename(path_.c_str(), aside.c_str()) != 0) {
        return failSystem("Could not move " + path_ + " aside", errno);
    }
    return {};
}

Result<> DataFile::write(std::string_view contents) {
    if (keepAside_) {
        if (auto moved = moveAside(); !moved) {
            return moved;
        }
        keepAside_ = false;
    }
    return writeFileAtomically(path_, contents, Durability::synced);
}

}  // namespace vorla
