// vorla-agents, the command people type. It answers every subcommand itself,
// without Qt, so that they start in a few milliseconds; only the application
// (no subcommand, --headless) is handed to vorla-agents-app.
#include "app/cli/commands.h"
#include "app/front/hand_over.h"

int main(int argc, char** argv) {
    return vorla::app::dispatch(argc, argv,
                                [](int, char** args) { return vorla::app::handOver(args); });
}
