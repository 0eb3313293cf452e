// `vorla-agents suggest [--json]`: the rule suggestions mined from the last
// seven days of the audit log, as the Improve page shows them.
#include <cstdio>
#include <string>

#include "app/cli/cli_support.h"
#include "app/cli/commands.h"
#include "core/text.h"
#include "engine/records/audit_log.h"
#include "engine/records/improve.h"

namespace vorla::app {

namespace {

constexpr int kDays = 7;

const char* kSuggestHelp =
    "Usage: vorla-agents suggest [--json]\n"
    "\n"
    "Actions you approved by hand at least three times in the last seven days\n"
    "and never denied: candidates for a learned 'always allow' rule (allow one\n"
    "with --always the next time it asks).\n"
    "\n"
    "  --json     print the suggestions as JSON\n"
    "  -h, --help show this help\n";

}  // namespace

int runSuggest(int argc, char** argv) {
    const JsonOption option = parseJsonOption("suggest", kSuggestHelp, argc, argv);
    if (option.exitStatus) {
        return *option.exitStatus;
    }
    AuditLog log(SystemClock::shared());
    auto suggestions = ImproveEngine::mine(log.recent(kDays));
    if (option.json) {
        nlohmann::json out = nlohmann::json::array();
        for (const auto& s : suggestions) {
            out.push_back({{"key", s.key},
                           {"tool", s.tool},
                           {"detail", s.detail},
                           {"approvals", s.approvals},
                           {"title", s.title},
                           {"reason", s.reason}});
        }
        printJson(out);
        return 0;
    }
    if (suggestions.empty()) {
        std::printf("No suggestions: nothing approved by hand three times in the last %d days.\n",
                    kDays);
        return 0;
    }
    for (const auto& s : suggestions) {
        std::printf("%s\n  %s\n", visibleText(s.title).c_str(), visibleText(s.reason).c_str());
    }
    return 0;
}

}  // namespace vorla::app
