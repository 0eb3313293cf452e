// `vorla-agents usage [--json]`: the Usage page's numbers in a terminal.
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "app/cli/cli_support.h"
#include "app/cli/commands.h"
#include "core/text.h"
#include "engine/usage/compact.h"
#include "engine/usage/usage_store.h"

namespace vorla::app {

namespace {

constexpr int kBarWidth = 28;
constexpr const char* kWhoRecords =
    " Claude Code, Codex, Gemini CLI, Copilot CLI, Qwen Code and OpenCode record token usage;"
    "\nGrok and Kiro do not.";

const char* kUsageHelp =
    "Usage: vorla-agents usage [--json | --by-day]\n"
    "\n"
    "Tokens and the estimated cost of the agents' sessions over the last 7 days,\n"
    "read from their own records.\n"
    "\n"
    "  --json     the same as one JSON object\n"
    "  --by-day   the daily totals as JSON\n"
    "  -h, --help show this help\n";

std::string dollars(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "$%.2f", value);
    return text;
}

void printTotalsRow(const char* label, const DayUsage& usage, double cost) {
    std::printf("  %-8s %9s %9s %12s %11s %7lld %10s\n", label, Int::compact(usage.input).c_str(),
                Int::compact(usage.output).c_str(), Int::compact(usage.cacheWrite).c_str(),
                Int::compact(usage.cacheRead).c_str(), static_cast<long long>(usage.messages),
                dollars(cost).c_str());
}

void printTable(const UsageSnapshot& snapshot) {
    std::printf("What your agents cost (estimated from public per-token rates)\n\n");
    std::printf("  %-8s %9s %9s %12s %11s %7s %10s\n", "", "input", "output", "cache write",
                "cache read", "msgs", "cost");
    printTotalsRow("Today", snapshot.today, snapshot.todayCost);
    printTotalsRow("7 days", snapshot.week, snapshot.weekCost);

    std::printf("\nBy model \u00b7 7 days\n");
    if (snapshot.weekByModel.empty()) {
        std::printf("  (none)\n");
    }
    for (const auto& entry : snapshot.weekByModel) {
        std::printf("  %-18s %7lld msgs   in %-7s \u00b7 out %-7s %10s\n",
                    visibleText(entry.model).c_str(), static_cast<long long>(entry.usage.messages),
                    Int::compact(entry.usage.input).c_str(),
                    Int::compact(entry.usage.output).c_str(),
                    entry.priced ? dollars(entry.cost).c_str() : "unknown");
    }

    std::printf("\nLast 7 days (cost)\n");
    double highest = 0;
    for (const auto& point : snapshot.daily) {
        highest = std::max(highest, point.cost);
    }
    for (const auto& point : snapshot.daily) {
        int width =
            highest > 0 ? static_cast<int>(std::lround(point.cost / highest * kBarWidth)) : 0;
        std::string bar;
        for (int i = 0; i < width; ++i) {
            bar += "\u2588";
        }
        std::printf("  %s %s  %-*s %10s %8s out%s\n", point.label.c_str(), point.day.c_str(),
                    kBarWidth + 2 * width, bar.c_str(), dollars(point.cost).c_str(),
                    Int::compact(point.output).c_str(), point.isToday ? "  \u25c0 today" : "");
    }
    std::printf("\n%lld record file%s read or cached.%s\n",
                static_cast<long long>(snapshot.scannedFiles),
                snapshot.scannedFiles == 1 ? "" : "s", kWhoRecords);
    if (!snapshot.unpricedModels.empty()) {
        std::string names;
        for (const std::string& model : snapshot.unpricedModels) {
            names += (names.empty() ? "" : ", ") + visibleText(model);
        }
        std::printf("No known price for %s: their tokens are counted, their cost is not.\n",
                    names.c_str());
    }
}

// {"<day>":{"input":..,...}} over all models, every day the window's
// transcripts mention: for scripts and for comparing with other tools.
std::string byDayJSON(const UsageBuckets& totals) {
    nlohmann::json days = nlohmann::json::object();
    for (const auto& [day, models] : totals) {
        DayUsage sum;
        for (const auto& [model, usage] : models) {
            sum += usage;
        }
        days[day] = {{"input", sum.input},
                     {"output", sum.output},
                     {"cacheWrite", sum.cacheWrite},
                     {"cacheRead", sum.cacheRead},
                     {"messages", sum.messages}};
    }
    return days.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

int runUsage(int argc, char** argv) {
    enum class Form { table, json, byDay } form = Form::table;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (isHelp(argument)) {
            std::fputs(kUsageHelp, stdout);
            return 0;
        }
        if (argument == "--json") {
            form = Form::json;
        } else if (argument == "--by-day") {
            form = Form::byDay;
        } else {
            return usageError("usage", "unknown option '" + std::string(argument) + "'");
        }
    }
    UsageStore store;
    switch (form) {
        case Form::table:
            printTable(store.snapshot(7));
            break;
        case Form::json:
            std::printf("%s\n", encodeJSON(store.snapshot(7)).c_str());
            break;
        case Form::byDay:
            std::printf("%s\n", byDayJSON(store.totals(7)).c_str());
            break;
    }
    return 0;
}

}  // namespace vorla::app
