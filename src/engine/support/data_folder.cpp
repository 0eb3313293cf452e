#include "engine/support/data_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "core/paths.h"
#include "engine/support/log.h"

namespace vorla {

namespace {

constexpr std::array<const char*, 3> kMadeAtStart = {"run", "data", "audit"};
constexpr std::array<const char*, 2> kMadeLater = {"bin", "backups"};

constexpr mode_t kPrivate = 0700;

// One folder: created when missing (if `create`), refused when it is not a
// folder of ours, tightened when others may write to it.
Result<> secureFolder(const std::string& path, bool create) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        const int error = errno;
        if (error != ENOENT) {
            return failSystem("Vorla Agents: cannot check " + path, error);
        }
        if (!create) {
            return {};
        }
        if (::mkdir(path.c_str(), kPrivate) != 0 || ::lstat(path.c_str(), &info) != 0) {
            const int failed = errno;
            return failSystem("Vorla Agents: cannot create " + path, failed);
        }
    }
    if (S_ISLNK(info.st_mode)) {
        return fail("Vorla Agents: " + path +
                    " is a symbolic link; it keeps its files only in a real folder of yours. "
                    "Remove the link (rm " +
                    path + ") and start again.");
    }
    if (!S_ISDIR(info.st_mode)) {
        return fail("Vorla Agents: " + path + " is not a folder. Move it out of the way (mv " +
                    path + " " + path + ".old) and start again.");
    }
    if (info.st_uid != ::geteuid()) {
        return fail("Vorla Agents: " + path + " belongs to another user (uid " +
                    std::to_string(info.st_uid) +
                    "), so nothing in it can be trusted. Move it out of the way (mv " + path + " " +
                    path + ".untrusted) and start again.");
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        if (::chmod(path.c_str(), kPrivate) != 0) {
            const int error = errno;
            return failSystem("Vorla Agents: " + path + " is writable by others and cannot be " +
                                  "made private (chmod 700 " + path + ")",
                              error);
        }
        logLine("Vorla Agents: " + path + " was writable by others; made it private (0700)");
    }
    return {};
}

}  // namespace

Result<> secureDataFolder(const std::string& root) {
    const std::string home = root.empty() ? vorlaHome() : root;
    if (auto checked = secureFolder(home, true); !checked) {
        return checked;
    }
    for (const char* name : kMadeAtStart) {
        if (auto checked = secureFolder(home + "/" + name, true); !checked) {
            return checked;
        }
    }
    for (const char* name : kMadeLater) {
        if (auto checked = secureFolder(home + "/" + name, false); !checked) {
            return checked;
        }
    }
    return {};
}

}  // namespace vorla
