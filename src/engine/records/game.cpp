#include "engine/records/game.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "core/paths.h"
#include "engine/support/calendar.h"

namespace vorla {

namespace {

using Json = nlohmann::json;

struct Saved {
    int coins = 0;
    int streak = 0;
    int bestStreak = 0;
    std::string lastActiveDay;
    int bossesBeaten = 0;
    std::vector<std::pair<std::string, double>> unlocked;  // id -> seconds since 2001
};

std::optional<int> integer(const Json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || !it->is_number()) {
        return std::nullopt;
    }
    double value = it->get<double>();
    if (std::trunc(value) != value || std::fabs(value) > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

// Every key required, each of its type; nullopt otherwise.
std::optional<Saved> decodeSaved(std::string_view text) {
    Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        return std::nullopt;
    }
    auto coins = integer(json, "coins");
    auto streak = integer(json, "streak");
    auto best = integer(json, "bestStreak");
    auto bosses = integer(json, "bossesBeaten");
    auto day = json.find("lastActiveDay");
    auto unlocked = json.find("unlocked");
    if (!coins || !streak || !best || !bosses || day == json.end() || !day->is_string() ||
        unlocked == json.end() || !unlocked->is_object()) {
        return std::nullopt;
    }
    Saved saved{*coins, *streak, *best, day->get<std::string>(), *bosses, {}};
    for (const auto& [id, when] : unlocked->items()) {
        if (!when.is_number()) {
            return std::nullopt;
        }
        saved.unlocked.emplace_back(id, when.get<double>());
    }
    return saved;
}

}  // namespace

const std::vector<Achievement>& achievementCatalog() {
    static const std::vector<Achievement> catalog = {
        {"first-blood", "First Blood", "Approve your first agent action", std::nullopt},
        {"century", "Century", "Bank 100 coins", std::nullopt},
        {"boss-slayer", "Boss Slayer", "Deny a destructive command", std::nullopt},
        {"week-streak", "Regular", "A 7-day streak", std::nullopt},
        {"full-house", "Full House", "Four agents live at once", std::nullopt},
        {"night-owl", "Night Owl", "Approve something after midnight", std::nullopt},
    };
    return catalog;
}

std::string Game::defaultPath() {
    return dataDir() + "/game.json";
}

Game::Game(const Clock& clock, std::string path)
    : clock_(clock), file_(std::move(path), clock), achievements_(achievementCatalog()) {
    load();
}

void Game::agentCompleted() {
    coins_ += 1;
    bumpStreak();
    if (coins_ >= 100) {
        unlock("century");
    }
    save();
}

void Game::bossBeaten() {
    bossesBeaten_ += 1;
    coins_ += 5;
    unlock("boss-slayer");
    save();
}

void Game::unlock(std::string_view id) {
    auto it = std::find_if(achievements_.begin(), achievements_.end(),
                           [&](const Achievement& a) { return a.id == id; });
    if (it == achievements_.end() || it->unlocked()) {
        return;
    }
    it->unlockedAt = clock_.now();
    Achievement earned = *it;  // a copy: the callback may change the game
    if (onAchievement) {
        onAchievement(earned);
    }
    save();
}

void Game::bumpStreak() {
    const WallTime now = clock_.now();
    std::string today = dayKey(now);
    auto last = dayFromKey(lastActiveDay_);
    // A clock set back to an earlier day must not cost the streak.
    if (lastActiveDay_ == today || (last && *last > now)) {
        return;
    }
    streak_ = (last && isYesterday(*last, now)) ? streak_ + 1 : 1;
    lastActiveDay_ = today;
    bestStreak_ = std::max(bestStreak_, streak_);
    if (streak_ >= 7) {
        unlock("week-streak");
    }
}

void Game::applyEntryRules(const AuditEntry& entry, int liveSessions) {
    if (liveSessions > 3) {
        unlock("full-house");
    }
    if (entry.kind == AuditKind::approved) {
        unlock("first-blood");
        if (localHour(entry.ts) <= 4) {
            unlock("night-owl");
        }
        bumpStreak();
        save();
    } else if (entry.kind == AuditKind::denied && entry.riskAtLeast(Risk::critical)) {
        bossBeaten();
    }
}

void Game::load() {
    auto text = file_.read();
    if (!text) {
        return;
    }
    auto saved = decodeSaved(*text);
    if (!saved) {
        file_.markUndecodable();
        return;
    }
    coins_ = saved->coins;
    streak_ = saved->streak;
    bestStreak_ = saved->bestStreak;
    lastActiveDay_ = saved->lastActiveDay;
    bossesBeaten_ = saved->bossesBeaten;
    achievements_ = achievementCatalog();
    for (const auto& unlocked : saved->unlocked) {
        auto it = std::find_if(achievements_.begin(), achievements_.end(),
                               [&](const Achievement& a) { return a.id == unlocked.first; });
        if (it != achievements_.end()) {
            it->unlockedAt = fromReferenceSeconds(unlocked.second);
        }
    }
    changes_.notify();
}

void Game::save() {
    Json unlocked = Json::object();
    for (const Achievement& achievement : achievements_) {
        if (achievement.unlockedAt) {
            unlocked[achievement.id] = toReferenceSeconds(*achievement.unlockedAt);
        }
    }
    Json saved = {{"coins", coins_},
                  {"streak", streak_},
                  {"bestStreak", bestStreak_},
                  {"lastActiveDay", lastActiveDay_},
                  {"bossesBeaten", bossesBeaten_},
                  {"unlocked", unlocked}};
    (void)file_.write(saved.dump(-1, ' ', false, Json::error_handler_t::replace));
    changes_.notify();
}

}  // namespace vorla
