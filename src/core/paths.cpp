#include "core/paths.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

namespace vorla {

std::string homeDirectory() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return home;
    }
    // No HOME (a hook started from a stripped environment): look ourselves up
    // in /etc/passwd. Read directly rather than through getpwuid(), whose NSS
    // modules cannot be loaded by the statically linked bridge.
    std::ifstream passwd("/etc/passwd");
    std::string line;
    const std::string uid = std::to_string(getuid());
    while (std::getline(passwd, line)) {
        // name:password:uid:gid:gecos:home:shell
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t colon; (colon = line.find(':', start)) != std::string::npos;
             start = colon + 1) {
            fields.push_back(line.substr(start, colon - start));
        }
        fields.push_back(line.substr(start));
        if (fields.size() >= 6 && fields[2] == uid && !fields[5].empty()) {
            return fields[5];
        }
    }
    return "/";
}

std::string vorlaHome() {
    return homeDirectory() + "/.vorla-agents";
}

std::string runDir() {
    return vorlaHome() + "/run";
}

std::string socketPath() {
    return runDir() + "/vorla.sock";
}

std::string dataDir() {
    return vorlaHome() + "/data";
}

std::string auditDir() {
    return vorlaHome() + "/audit";
}

namespace {

// The value of XDG_DESKTOP_DIR="..." in user-dirs.dirs, with $HOME expanded;
// empty when the file or the line is missing. The file is shell syntax, but
// xdg-user-dirs only ever writes this one form.
std::string desktopFromUserDirs() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::string config = (configHome != nullptr && *configHome == '/')
                             ? std::string(configHome)
                             : homeDirectory() + "/.config";
    std::ifstream dirs(config + "/user-dirs.dirs");
    std::string line;
    const std::string prefix = "XDG_DESKTOP_DIR=\"";
    while (std::getline(dirs, line)) {
        if (!line.starts_with(prefix) || line.size() < prefix.size() + 1 || line.back() != '"') {
            continue;
        }
        std::string value = line.substr(prefix.size(), line.size() - prefix.size() - 1);
        if (value.starts_with("$HOME")) {
            value = homeDirectory() + value.substr(5);
        }
        if (value.starts_with('/')) {
            return value;
        }
    }
    return "";
}

}  // namespace

std::string desktopDirectory() {
    const char* fromEnv = std::getenv("XDG_DESKTOP_DIR");
    if (fromEnv != nullptr && *fromEnv == '/') {
        return fromEnv;
    }
    if (std::string fromFile = desktopFromUserDirs(); !fromFile.empty()) {
        return fromFile;
    }
    return homeDirectory() + "/Desktop";
}

}  // namespace vorla
