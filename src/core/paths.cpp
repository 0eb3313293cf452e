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

}  // namespace vorla
