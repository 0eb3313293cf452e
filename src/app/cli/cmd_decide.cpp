// `vorla-agents allow <approval> [--always]` and `vorla-agents deny
// <approval>`: the island's Allow and Deny from a terminal.
#include <cstdio>
#include <string>

#include "app/cli/cli_support.h"
#include "app/cli/commands.h"
#include "core/text.h"

namespace vorla::app {

namespace {

const char* kAllowHelp =
    "Usage: vorla-agents allow <approval> [--always] [--json]\n"
    "\n"
    "Allows a pending approval of the running app; the agent gets the same answer\n"
    "as from the island. <approval> is its id or any unique beginning of it, as\n"
    "'vorla-agents status' shows.\n"
    "\n"
    "  --always   also learn the rule, so the same tool and command are allowed\n"
    "             from now on (not offered for elevated or critical risk)\n"
    "  --json     print the answer as JSON\n"
    "  -h, --help show this help\n";

const char* kDenyHelp =
    "Usage: vorla-agents deny <approval> [--json]\n"
    "\n"
    "Denies a pending approval of the running app; the agent gets the same answer\n"
    "as from the island. <approval> is its id or any unique beginning of it, as\n"
    "'vorla-agents status' shows.\n"
    "\n"
    "  --json     print the answer as JSON\n"
    "  -h, --help show this help\n";

int decide(Behavior behavior, int argc, char** argv) {
    const std::string_view command = behavior == Behavior::allow ? "allow" : "deny";
    ControlRequest request;
    request.verb = ControlVerb::decide;
    request.behavior = behavior;
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (isHelp(arg)) {
            std::fputs(behavior == Behavior::allow ? kAllowHelp : kDenyHelp, stdout);
            return 0;
        }
        if (arg == "--json") {
            json = true;
        } else if (arg == "--always" && behavior == Behavior::allow) {
            request.always = true;
        } else if (arg.starts_with("-") && arg.size() > 1) {
            return usageError(command, "unknown option '" + std::string(arg) + "'");
        } else if (!request.gate.empty()) {
            return usageError(command, "one approval at a time ('" + std::string(arg) + "')");
        } else {
            request.gate = arg;
        }
    }
    if (request.gate.empty()) {
        return usageError(command, "which approval? ('vorla-agents status' lists them)");
    }
    auto answer = askApp(request);
    if (!answer) {
        return reportFailure(answer.error());
    }
    const nlohmann::json& reply = *answer;
    if (json) {
        printJson(reply);
        return 0;
    }
    std::string what = reply.value("tool", std::string());
    if (auto detail = reply.value("detail", std::string()); !detail.empty()) {
        what += ": " + detail;
    }
    std::printf("%s %s\n", behavior == Behavior::allow ? "Allowed" : "Denied",
                visibleText(what).c_str());
    if (reply.contains("notLearned")) {
        std::printf("No rule learned (%s): allowed this once.\n",
                    visibleText(reply.value("notLearned", std::string())).c_str());
    }
    if (reply.contains("rule")) {
        std::printf("Learned the rule '%s': it is allowed from now on.\n",
                    visibleText(reply.value("rule", std::string())).c_str());
    }
    return 0;
}

}  // namespace

int runAllow(int argc, char** argv) {
    return decide(Behavior::allow, argc, argv);
}

int runDeny(int argc, char** argv) {
    return decide(Behavior::deny, argc, argv);
}

}  // namespace vorla::app
