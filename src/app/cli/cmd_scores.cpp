// `vorla-agents scores [--json]`: today's scoreboard, the game's tiles and
// the achievements, read from the audit log and game.json.
#include <cstdio>
#include <string>

#include "app/cli/cli_support.h"
#include "app/cli/commands.h"
#include "engine/records/audit_log.h"
#include "engine/records/game.h"
#include "engine/support/calendar.h"

namespace vorla::app {

namespace {

const char* kScoresHelp =
    "Usage: vorla-agents scores [--json]\n"
    "\n"
    "Today's scoreboard per agent (tools run, approved, denied, trust), the game's\n"
    "coins, streak and bosses, and the achievements.\n"
    "\n"
    "  --json     print the same as JSON\n"
    "  -h, --help show this help\n";

nlohmann::json asJson(const AuditLog& log, const Game& game) {
    nlohmann::json scores = nlohmann::json::array();
    for (const auto& s : log.scoreboard()) {
        scores.push_back({{"agent", s.agent},
                          {"agentName", s.displayName},
                          {"toolsRun", s.toolsRun},
                          {"approved", s.approved},
                          {"denied", s.denied},
                          {"autoAllowed", s.autoAllowed},
                          {"risky", s.risky},
                          {"trustPercent", s.trustPercent()}});
    }
    nlohmann::json achievements = nlohmann::json::array();
    for (const auto& a : game.achievements()) {
        achievements.push_back(
            {{"id", a.id}, {"name", a.name}, {"detail", a.detail}, {"unlocked", a.unlocked()}});
        if (a.unlockedAt) {
            achievements.back()["unlockedAt"] = iso8601UTC(*a.unlockedAt);
        }
    }
    return {{"scoreboard", scores},
            {"coins", game.coins()},
            {"streak", game.streak()},
            {"bestStreak", game.bestStreak()},
            {"bossesBeaten", game.bossesBeaten()},
            {"clicksSaved", log.clicksSaved()},
            {"achievements", achievements}};
}

void printText(const AuditLog& log, const Game& game) {
    auto board = log.scoreboard();
    if (board.empty()) {
        std::printf("No agent activity today.\n");
    } else {
        std::vector<Row> rows;
        rows.reserve(board.size());
        for (const auto& s : board) {
            rows.push_back({s.displayName, std::to_string(s.toolsRun), std::to_string(s.approved),
                            std::to_string(s.denied), std::to_string(s.risky),
                            std::to_string(s.trustPercent()) + "%"});
        }
        std::fputs(
            formatTable({"AGENT", "TOOLS", "APPROVED", "DENIED", "RISKY", "TRUST"}, rows).c_str(),
            stdout);
    }
    std::printf(
        "\nCoins %d \u00b7 streak %d days (best %d) \u00b7 bosses beaten %d \u00b7 clicks "
        "saved today %d\n\n",
        game.coins(), game.streak(), game.bestStreak(), game.bossesBeaten(), log.clicksSaved());
    std::vector<Row> rows;
    for (const auto& a : game.achievements()) {
        rows.push_back({a.unlocked() ? "\u2713" : "\u00b7", a.name,
                        a.unlockedAt ? dayKey(*a.unlockedAt) : "", a.detail});
    }
    std::fputs(formatTable({"", "ACHIEVEMENT", "EARNED", "HOW"}, rows).c_str(), stdout);
}

}  // namespace

int runScores(int argc, char** argv) {
    const JsonOption option = parseJsonOption("scores", kScoresHelp, argc, argv);
    if (option.exitStatus) {
        return *option.exitStatus;
    }
    AuditLog log(SystemClock::shared());
    Game game(SystemClock::shared());
    if (option.json) {
        printJson(asJson(log, game));
    } else {
        printText(log, game);
    }
    return 0;
}

}  // namespace vorla::app
