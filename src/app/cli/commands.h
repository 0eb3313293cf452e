// The command-line surface of vorla-agents: a table of subcommands, each
// implemented in its own file under src/app/cli/ and listed in commands.cpp.
#pragma once

#include <cstdio>
#include <span>
#include <string_view>

namespace vorla::app {

struct Command {
    std::string_view name;
    std::string_view usage;  // e.g. "hooks [install|remove|evict <agent>]"
    std::string_view help;   // one line for --help
    // argv[0] is the command's own name. Null in the front command for the
    // commands it hands to vorla-agents-app.
    int (*run)(int argc, char** argv);
};

[[nodiscard]] std::span<const Command> commands();

// No subcommand, or --headless: the application itself.
int runDefault(int argc, char** argv);

// Answers --help and --version, runs a subcommand this program has (`run` not
// null), and passes any other command line to `otherwise`.
int dispatch(int argc, char** argv, int (*otherwise)(int argc, char** argv));

void printUsage(std::FILE* out);

}  // namespace vorla::app
