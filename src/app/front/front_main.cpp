// vorla-agents, the command people type. It answers the commands that only
// talk to the running app here, because they must start in a few
// milliseconds; everything else (the app itself, and the commands that need
// the whole engine) it hands to vorla-agents-app.
#include "app/cli/commands.h"
#include "app/front/hand_over.h"

int main(int argc, char** argv) {
    return vorla::app::dispatch(argc, argv,
                                [](int, char** args) { return vorla::app::handOver(args); });
}
