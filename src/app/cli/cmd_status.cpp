// `vorla-agents status [--json] [--watch]`: the live sessions and the
// approvals waiting, from the running app.
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/cli/cli_support.h"
#include "app/cli/commands.h"
#include "core/paths.h"
#include "engine/policy/risk.h"
#include "engine/support/clock.h"
#include "engine/usage/context_meter.h"

namespace vorla::app {

namespace {

using Json = nlohmann::json;

constexpr std::size_t kShownIDLength = 8;
// A redraw even without a change of state.json, for the "waiting" clocks:
// the app leaves an unchanged file alone.
constexpr int kWatchFallbackMs = 1000;

const char* kStatusHelp =
    "Usage: vorla-agents status [--json] [--watch]\n"
    "\n"
    "The live agent sessions (agent, project, state, activity, tools, context\n"
    "fill) and the approvals waiting for you, from the running app.\n"
    "\n"
    "  --json     the same as one JSON object (state.json's keys and more)\n"
    "  --watch    redraw whenever something changes, until Ctrl-C; prints one\n"
    "             table and exits when standard output is not a terminal\n"
    "  -h, --help show this help\n";

std::string text(const Json& json, const char* key) {
    auto it = json.find(key);
    return it != json.end() && it->is_string() ? it->get<std::string>() : std::string();
}

double number(const Json& json, const char* key) {
    auto it = json.find(key);
    return it != json.end() && it->is_number() ? it->get<double>() : 0.0;
}

std::string riskWord(double level) {
    auto risk = riskFromRaw(static_cast<long long>(level));
    return risk ? std::string(label(*risk)) : "?";
}

std::string contextCell(const Json& session) {
    if (!session.contains("contextUsed")) {
        return "-";
    }
    auto used = static_cast<std::int64_t>(number(session, "contextUsed"));
    auto limit = static_cast<std::int64_t>(number(session, "contextLimit"));
    std::string cell = ContextUsage::shortText(used) + "/" + ContextUsage::shortText(limit);
    if (limit > 0) {
        cell += " (" + std::to_string(used * 100 / limit) + "%)";
    }
    return cell;
}

std::string render(const Json& status) {
    const double now = toEpochSeconds(SystemClock::shared().now());
    std::string out;
    const Json& sessions = status["sessions"];
    if (sessions.empty()) {
        out += "No live agent sessions.\n";
    } else {
        std::vector<Row> rows;
        for (const Json& s : sessions) {
            rows.push_back({text(s, "agentName"), text(s, "project"), text(s, "status"),
                            std::to_string(static_cast<long long>(number(s, "tools"))),
                            contextCell(s), text(s, "activity")});
        }
        out += formatTable({"AGENT", "PROJECT", "STATE", "TOOLS", "CONTEXT", "ACTIVITY"}, rows);
    }
    out += "\n";
    const Json& pending = status["pending"];
    if (pending.empty()) {
        out += "No approvals waiting.\n";
        return out;
    }
    std::vector<Row> rows;
    for (const Json& g : pending) {
        rows.push_back(
            {text(g, "id").substr(0, kShownIDLength), text(g, "agentName"), text(g, "project"),
             riskWord(number(g, "risk")), shortDuration(now - number(g, "sinceTs")),
             text(g, "tool") + (text(g, "detail").empty() ? "" : ": ") + text(g, "detail")});
    }
    out += formatTable({"APPROVAL", "AGENT", "PROJECT", "RISK", "WAITING", "ASKS"}, rows);
    out += "\nAnswer with 'vorla-agents allow <approval>' or 'vorla-agents deny <approval>'.\n";
    return out;
}

// Redraws in place: cursor home, every line cleared to its end, the rest of
// the screen cleared; nothing at all when the text is unchanged.
void redraw(const std::string& screen, std::string& shown) {
    if (screen == shown) {
        return;
    }
    std::string out = "\x1b[H";
    std::size_t start = 0;
    while (start < screen.size()) {
        std::size_t end = screen.find('\n', start);
        if (end == std::string::npos) {
            end = screen.size();
        }
        out.append(screen, start, end - start);
        out += "\x1b[K\n";
        start = end + 1;
    }
    out += "\x1b[J";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
    shown = screen;
}

std::string watchScreen() {
    auto answer = askApp(ControlRequest{});
    std::string screen = "Vorla Agents \u00b7 status \u00b7 Ctrl-C to quit\n\n";
    if (!answer && answer.error().code != appRefused) {
        return screen + "Vorla Agents is not running; waiting for it to start.\n";
    }
    if (!answer) {
        return screen + answer.error().message + "\n";
    }
    return screen + render(*answer);
}

// Redraws after every rewrite of state.json (the app rewrites it after each
// change), and once a second for the clocks.
int watch() {
    int notify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (notify >= 0) {
        (void)::inotify_add_watch(notify, runDir().c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
    }
    std::fputs("\x1b[2J", stdout);
    std::string shown;
    while (true) {
        redraw(watchScreen(), shown);
        pollfd fd{notify, POLLIN, 0};
        if (::poll(&fd, notify >= 0 ? 1 : 0, kWatchFallbackMs) > 0) {
            alignas(inotify_event) char buffer[4096];
            // Only state.json matters; drain the rest.
            while (::read(notify, buffer, sizeof buffer) > 0) {
            }
        }
    }
}

}  // namespace

int runStatus(int argc, char** argv) {
    bool json = false;
    bool watching = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (isHelp(arg)) {
            std::fputs(kStatusHelp, stdout);
            return 0;
        }
        if (arg == "--json") {
            json = true;
        } else if (arg == "--watch" || arg == "-w") {
            watching = true;
        } else {
            return usageError("status", "unknown option '" + std::string(arg) + "'");
        }
    }
    if (watching && json) {
        return usageError("status", "--watch draws a table; it does not go with --json");
    }
    if (watching && terminalWidth() > 0) {
        return watch();
    }
    auto answer = askApp(ControlRequest{});
    if (!answer) {
        return reportFailure(answer.error());
    }
    if (json) {
        answer->erase("ok");
        printJson(*answer);
    } else {
        std::fputs(render(*answer).c_str(), stdout);
    }
    return 0;
}

}  // namespace vorla::app
