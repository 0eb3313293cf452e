#include "app/front/hand_over.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/installer/bridge_location.h"

namespace vorla::app {

namespace {

// The shell's "found but could not run" and "not found".
constexpr int kExitCannotRun = 126;
constexpr int kExitMissing = 127;

}  // namespace

int handOver(char** argv) {
    const auto candidates = installer::programCandidates("vorla-agents-app", VORLA_LIBEXEC_DIR);
    const auto app = installer::findExecutable(candidates);
    if (!app) {
        std::fprintf(stderr,
                     "vorla-agents: vorla-agents-app is missing (looked for %s); "
                     "reinstall Vorla Agents\n",
                     candidates.back().c_str());
        return kExitMissing;
    }
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        ::setenv(kCommandPathVariable, self.c_str(), 1);
    }
    ::execv(app->c_str(), argv);
    std::fprintf(stderr, "vorla-agents: cannot run %s: %s\n", app->c_str(), std::strerror(errno));
    return kExitCannotRun;
}

}  // namespace vorla::app
