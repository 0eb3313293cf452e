// The command-line surface of vorla-agents: a table of subcommands, each
// implemented in its own file under src/app/cli/ and listed in commands.cpp.
// No Qt: both programs link it, and the command people type answers every
// subcommand itself, so none of them waits for a window toolkit to load.
// Main thread only (it writes to stdout and stderr).
#pragma once

#include <cstdio>
#include <span>
#include <string_view>

namespace vorla::app {

struct Command {
    std::string_view name;
    std::string_view usage;  // e.g. "hooks [install|remove|evict <agent>]"
    std::string_view help;   // one line for --help
    // argv[0] is the command's own name.
    int (*run)(int argc, char** argv);
    // Reads or writes ~/.vorla-agents, which is checked first. The commands
    // that only talk to the running app leave it alone.
    bool usesDataFolder;
};

[[nodiscard]] std::span<const Command> commands();

// Answers --help and --version, runs a subcommand, and passes a command line
// without one (nothing, --headless, --hold) to `application`; anything else is
// an unknown command (exit 2). Before a subcommand that uses the data folder,
// or the application, secures ~/.vorla-agents (secureDataFolder) and stops
// with its message and exit 1 when it is not safe to use.
int dispatch(int argc, char** argv, int (*application)(int argc, char** argv));

void printUsage(std::FILE* out);

}  // namespace vorla::app
