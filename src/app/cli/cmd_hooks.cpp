// `vorla-agents hooks [install|remove|evict <agent>]`: the hook installer for
// people who live in a terminal or have no display.
#include <cstdio>
#include <string>
#include <string_view>

#include "app/cli/commands.h"
#include "core/paths.h"
#include "engine/installer/bridge_location.h"
#include "engine/installer/installer.h"

namespace vorla::app {

namespace {

constexpr const char* kUsage =
    "Usage: vorla-agents hooks                   show whose hooks each agent runs\n"
    "       vorla-agents hooks install <agent>   install our hooks (claude, codex, grok,\n"
    "                                            gemini, copilot, qwen, opencode)\n"
    "       vorla-agents hooks remove <agent>    remove our hooks\n"
    "       vorla-agents hooks evict <agent>     remove another notch app's hooks\n";

std::string describe(const Installer::Agent& agent) {
    std::string raw(rawValue(agent.id));
    switch (agent.status.kind) {
        case Installer::Status::Case::installed:
            return "installed";
        case Installer::Status::Case::untrusted:
            return "installed, but not running: " + agent.status.payload +
                   " (vorla-agents hooks install " + raw + " trusts them)";
        case Installer::Status::Case::notInstalled:
            return "not installed (vorla-agents hooks install " + raw + ")";
        case Installer::Status::Case::notFound:
            return "not found (no " + std::string(agent.configDir.starts_with('/') ? "" : "~/") +
                   agent.configDir + " folder)";
        case Installer::Status::Case::conflict:
            return agent.status.payload + "'s hooks are in place (vorla-agents hooks evict " + raw +
                   ", then install)";
        case Installer::Status::Case::unsupported:
            return "unsupported: " + agent.status.payload;
    }
    return {};
}

int printStatus(const Installer& installer) {
    for (const Installer::Agent& agent : installer.agents()) {
        std::printf("%-12s %s\n", agent.name.c_str(), describe(agent).c_str());
    }
    return 0;
}

// Prints the installer's own outcome: on stdout when it worked, else stderr.
int report(const Result<std::string>& outcome) {
    std::fprintf(outcome ? stdout : stderr, "%s\n", Installer::outcomeText(outcome).c_str());
    return outcome ? 0 : 1;
}

int evict(Installer& installer, Source agent) {
    auto owner = installer.foreignOwner(agent);
    if (!owner) {
        std::printf("No other notch app's hooks found for %s.\n",
                    std::string(rawValue(agent)).c_str());
        return 0;
    }
    return report(installer.evict(*owner, agent));
}

}  // namespace

int runHooks(int argc, char** argv) {
    Installer installer(homeDirectory(), installer::bridgeCandidates(VORLA_LIBEXEC_DIR));
    if (argc == 1) {
        return printStatus(installer);
    }
    std::string_view action = argv[1];
    if (action == "--help" || action == "-h" || action == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 3 || (action != "install" && action != "remove" && action != "evict")) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    auto agent = sourceFromRaw(argv[2]);
    if (!agent) {
        std::fprintf(stderr,
                     "vorla-agents hooks: unknown agent '%s' (claude, codex, grok, gemini, "
                     "copilot, qwen, opencode)\n",
                     argv[2]);
        return 2;
    }
    if (action == "install") {
        return report(installer.install(*agent));
    }
    if (action == "remove") {
        return report(installer.uninstall(*agent));
    }
    return evict(installer, *agent);
}

}  // namespace vorla::app
