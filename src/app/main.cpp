// vorla-agents-app: the composition root of the application itself, the
// desktop and --headless (started by the vorla-agents command, which answers
// the subcommands without it). The subcommands are here too, from the same
// table (src/app/cli/), for whoever runs this program directly.
#include <sys/prctl.h>

#include "app/cli/commands.h"

namespace vorla::app {
int runDefault(int argc, char** argv);  // run_default.cpp
}  // namespace vorla::app

int main(int argc, char** argv) {
    // Started through `vorla-agents`: let ps and top show that name.
    ::prctl(PR_SET_NAME, "vorla-agents");
    return vorla::app::dispatch(argc, argv, vorla::app::runDefault);
}
