#include "app/cli/commands.h"

#include <array>

#include "engine/support/data_folder.h"

namespace vorla::app {

int runHooks(int argc, char** argv);    // cmd_hooks.cpp
int runUsage(int argc, char** argv);    // cmd_usage.cpp
int runStatus(int argc, char** argv);   // cmd_status.cpp
int runAllow(int argc, char** argv);    // cmd_decide.cpp
int runDeny(int argc, char** argv);     // cmd_decide.cpp
int runRules(int argc, char** argv);    // cmd_rules.cpp
int runAudit(int argc, char** argv);    // cmd_audit.cpp
int runScores(int argc, char** argv);   // cmd_scores.cpp
int runSuggest(int argc, char** argv);  // cmd_suggest.cpp

namespace {

// Subcommands. Add a row here and a file of its own for each new one.
const std::array<Command, 9> kCommands = {
    Command{"status", "status [--json | --watch]",
            "live sessions and the approvals waiting (running app)", runStatus, false},
    Command{"allow", "allow <approval> [--always]",
            "allow a waiting approval; --always also learns the rule", runAllow, false},
    Command{"deny", "deny <approval>", "deny a waiting approval", runDeny, false},
    Command{"rules", "rules [forget <key>]", "the learned rules; forget one", runRules, true},
    Command{"audit", "audit [--day DAY] | audit export [PATH]",
            "a day of the audit log; or the whole log as CSV", runAudit, true},
    Command{"scores", "scores [--json]", "today's scoreboard, coins, streak and achievements",
            runScores, true},
    Command{"suggest", "suggest [--json]", "rules worth learning, from your approvals", runSuggest,
            true},
    Command{"hooks", "hooks [install|remove|evict <agent>]",
            "show or change the hooks each agent runs (claude, codex, grok)", runHooks, true},
    Command{"usage", "usage [--json | --by-day]",
            "token usage and estimated cost of the last 7 days", runUsage, true},
};

// A command line that asks for help reads and writes nothing.
bool asksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            return true;
        }
    }
    return false;
}

// 0 when ~/.vorla-agents may be used, else the exit status after saying why.
int secureDataFolderFor(int argc, char** argv) {
    if (asksForHelp(argc, argv)) {
        return 0;
    }
    if (auto secured = secureDataFolder(); !secured) {
        std::fprintf(stderr, "%s\n", secured.error().message.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

std::span<const Command> commands() {
    return kCommands;
}

int dispatch(int argc, char** argv, int (*application)(int argc, char** argv)) {
    const std::string_view first = argc > 1 ? argv[1] : "";
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
            if (command.usesDataFolder) {
                if (int refused = secureDataFolderFor(argc, argv); refused != 0) {
                    return refused;
                }
            }
            return command.run(argc - 1, argv + 1);
        }
    }
    if (first.empty() || first == "--headless" || first == "--hold") {
        if (int refused = secureDataFolderFor(argc, argv); refused != 0) {
            return refused;
        }
        return application(argc, argv);
    }
    std::fprintf(stderr, "vorla-agents: unknown command '%s'\nTry 'vorla-agents --help'.\n",
                 argv[1]);
    return 2;
}

void printUsage(std::FILE* out) {
    std::fprintf(out,
                 "Usage: vorla-agents [--headless [--hold]] [COMMAND [ARGS...]]\n"
                 "\n"
                 "Watches and approves the tool calls of AI coding agents (Claude Code, Codex,\n"
                 "Grok, Kiro) through their hooks.\n"
                 "\n"
                 "  --headless          run without a window (approvals, rules, audit, snapshot)\n"
                 "  --hold              keep approvals that need you waiting for 'vorla-agents\n"
                 "                      allow' or 'deny' (else, without a phone, they go back\n"
                 "                      to the agent's own prompt)\n"
                 "  -h, --help          show this help and exit\n"
                 "  -V, --version       show the version and exit\n");
    if (commands().empty()) {
        return;
    }
    std::fprintf(out, "\nCommands:\n");
    constexpr int kColumn = 18;
    for (const Command& command : commands()) {
        const int width = static_cast<int>(command.usage.size());
        // A usage wider than the column gets a line of its own, GNU style.
        if (width > kColumn) {
            std::fprintf(out, "  %.*s\n  %-*s  %.*s\n", width, command.usage.data(), kColumn, "",
                         static_cast<int>(command.help.size()), command.help.data());
        } else {
            std::fprintf(out, "  %-*.*s  %.*s\n", kColumn, width, command.usage.data(),
                         static_cast<int>(command.help.size()), command.help.data());
        }
    }
}

}  // namespace vorla::app
