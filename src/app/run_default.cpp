#include <cstdio>

#include "app/commands.h"
#include "core/paths.h"

namespace vorla::app {

int runDefault(int /*argc*/, char** /*argv*/) {
    std::printf(
        "Vorla Agents is not wired up yet: the bridge and its socket protocol are.\n"
        "Try it by hand:\n"
        "  socat UNIX-LISTEN:%s,fork - &\n"
        "  echo '{\"hook_event_name\":\"Stop\",\"session_id\":\"s1\"}' | "
        "build/debug/src/bridge/vorla-bridge --source claude\n",
        socketPath().c_str());
    return 0;
}

}  // namespace vorla::app
