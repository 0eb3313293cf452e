// vorla-agents-app: the composition root (started by the vorla-agents
// command). Subcommands are a table of name, help and function; each lives in
// its own file under src/app/cli/.
#include <sys/prctl.h>

#include <cstdio>
#include <string_view>

#include "app/cli/commands.h"
#include "engine/support/data_folder.h"

namespace {

int runApplication(int argc, char** argv) {
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (first.empty() || first == "--headless" || first == "--hold") {
        return vorla::app::runDefault(argc, argv);
    }
    std::fprintf(stderr, "vorla-agents: unknown command '%s'\nTry 'vorla-agents --help'.\n",
                 argv[1]);
    return 2;
}

// Everything but help and the version reads or writes ~/.vorla-agents.
bool touchesDataFolder(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h" ||
            (i == 1 && (arg == "help" || arg == "--version" || arg == "-V"))) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Started through `vorla-agents`: let ps and top show that name.
    ::prctl(PR_SET_NAME, "vorla-agents");
    if (touchesDataFolder(argc, argv)) {
        if (auto secured = vorla::secureDataFolder(); !secured) {
            std::fprintf(stderr, "%s\n", secured.error().message.c_str());
            return 1;
        }
    }
    return vorla::app::dispatch(argc, argv, runApplication);
}
