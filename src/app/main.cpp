// vorla-agents: the composition root. Subcommands are a table of name, help
// and function; each lives in its own file under src/app/.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "app/commands.h"

int main(int argc, char** argv) {
    using namespace vorla::app;
    std::string_view first = argc > 1 ? argv[1] : "";
    if (first == "--help" || first == "-h" || first == "help") {
        printUsage(stdout);
        return 0;
    }
    if (first == "--version" || first == "-V") {
        std::printf("vorla-agents %s\n", VORLA_VERSION);
        return 0;
    }
    for (const Command& command : commands()) {
        if (first == command.name) {
            return command.run(argc - 1, argv + 1);
        }
    }
    if (first.empty() || first == "--headless" || first == "--hold") {
        return runDefault(argc, argv);
    }
    std::fprintf(stderr, "vorla-agents: unknown command '%s'\nTry 'vorla-agents --help'.\n",
                 argv[1]);
    return 2;
}
