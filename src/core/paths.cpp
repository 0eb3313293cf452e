#include "core/paths.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "core/unique_fd.h"

namespace vorla {

namespace {

// The lines of a small text file; none when it cannot be read. Plain reads
// rather than <fstream>: the bridge links this file, and iostreams add
// start-up work to every hook run.
std::vector<std::string> fileLines(const std::string& path) {
    std::vector<std::string> lines;
    const std::string text = readFile(path).value_or("");
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace

std::string homeDirectory() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return home;
    }
    // No HOME (a hook started from a stripped environment): look ourselves up
    // in /etc/passwd. Read directly rather than through getpwuid(), whose NSS
    // modules cannot be loaded by the statically linked bridge.
    const std::string uid = std::to_string(getuid());
    for (const std::string& line : fileLines("/etc/passwd")) {
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
    const std::string prefix = "XDG_DESKTOP_DIR=\"";
    for (const std::string& line : fileLines(config + "/user-dirs.dirs")) {
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
