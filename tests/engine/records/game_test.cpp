#include "engine/records/game.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "engine/support/calendar.h"
#include "support/manual_clock.h"
#include "support/scoped_env.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

constexpr const char* kGameFile = ".vorla-agents/data/game.json";

WallTime at(const char* iso) {
    return *parseISO8601(iso);
}

AuditEntry decision(const char* iso, std::string_view kind, std::optional<int> risk = 0) {
    AuditEntry entry{at(iso), "claude", "s", "p", AuditKind::tool, "Bash", "x", risk};
    entry.setKind(kind);
    return entry;
}

// Fixed zone UTC+1 without daylight saving, so local hours are easy to read.
class GameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        game_ = std::make_unique<Game>(clock_);
        game_->onAchievement = [this](const Achievement& a) { earned_.push_back(a.id); };
    }
    nlohmann::json saved() const { return nlohmann::json::parse(*home_.read(kGameFile)); }

    test::ScopedEnv zone_{"TZ", "XST-1"};
    test::TempHome home_;
    test::ManualClock clock_{at("2026-01-15T12:00:00Z")};
    std::unique_ptr<Game> game_;
    std::vector<std::string> earned_;
};

TEST_F(GameTest, CenturyIsEarnedOnceAtTheHundredthRun) {
    for (int i = 0; i < 99; ++i) {
        game_->agentCompleted();
    }
    EXPECT_TRUE(earned_.empty());
    game_->agentCompleted();
    game_->agentCompleted();
    EXPECT_EQ(earned_, std::vector<std::string>{"century"});
    EXPECT_EQ(game_->coins(), 101);
    EXPECT_EQ(saved()["coins"], 101);
    EXPECT_EQ(saved()["unlocked"]["century"], toReferenceSeconds(clock_.now()));
}

TEST_F(GameTest, OnlyAUserDenialOfACriticalActionIsABoss) {
    game_->applyEntryRules(decision("2026-01-15T12:00:00Z", "denied", 2), 1);
    game_->applyEntryRules(decision("2026-01-15T12:00:00Z", "auto-denied", 3), 1);
    EXPECT_EQ(game_->coins(), 0);
    game_->applyEntryRules(decision("2026-01-15T12:00:00Z", "denied", 3), 1);
    game_->applyEntryRules(decision("2026-01-15T12:00:00Z", "denied", 3), 1);
    EXPECT_EQ(game_->coins(), 10);
    EXPECT_EQ(game_->bossesBeaten(), 2);
    EXPECT_EQ(earned_, std::vector<std::string>{"boss-slayer"});
}

TEST_F(GameTest, ApprovalsEarnFirstBloodAndNightOwlByLocalHour) {
    game_->applyEntryRules(decision("2026-01-15T12:00:00Z", "auto-allowed"), 1);
    EXPECT_TRUE(earned_.empty());
    EXPECT_EQ(game_->streak(), 0);
    // 05:00 local is 04:00Z: too late for the owl.
    game_->applyEntryRules(decision("2026-01-15T04:00:00Z", "approved"), 1);
    EXPECT_EQ(earned_, std::vector<std::string>{"first-blood"});
    game_->applyEntryRules(decision("2026-01-15T03:59:59Z", "approved"), 4);
    EXPECT_EQ(earned_, (std::vector<std::string>{"first-blood", "full-house", "night-owl"}));
    EXPECT_EQ(game_->streak(), 1);
}

TEST_F(GameTest, StreakCountsConsecutiveLocalDaysOncePerDay) {
    auto approveOn = [&](const char* iso) {
        clock_.set(at(iso));
        game_->applyEntryRules(decision(iso, "approved"), 0);
    };
    approveOn("2026-01-10T12:00:00Z");
    approveOn("2026-01-10T22:00:00Z");  // same day
    approveOn("2026-01-11T12:00:00Z");
    approveOn("2026-01-11T23:30:00Z");  // 00:30 local on the 12th
    EXPECT_EQ(game_->streak(), 3);
    approveOn("2026-01-14T12:00:00Z");  // a gap
    EXPECT_EQ(game_->streak(), 1);
    EXPECT_EQ(game_->bestStreak(), 3);
    EXPECT_EQ(game_->lastActiveDay(), "2026-01-14");
    for (int day = 15; day <= 20; ++day) {
        approveOn(("2026-01-" + std::to_string(day) + "T12:00:00Z").c_str());
    }
    EXPECT_EQ(game_->streak(), 7);
    EXPECT_EQ(earned_.back(), "week-streak");
    approveOn("2026-01-17T12:00:00Z");  // the clock stepped back three days
    EXPECT_EQ(game_->streak(), 7);
    EXPECT_EQ(game_->lastActiveDay(), "2026-01-20");
    approveOn("2026-01-21T12:00:00Z");
    EXPECT_EQ(game_->streak(), 8);
}

TEST_F(GameTest, AnInvalidLastActiveDayRestartsTheStreak) {
    home_.write(kGameFile, R"({"coins":3,"streak":5,"bestStreak":6,"lastActiveDay":"2026-13-45",)"
                           R"("bossesBeaten":0,"unlocked":{"first-blood":786000000,"retired":1}})");
    Game game(clock_);
    EXPECT_EQ(game.coins(), 3);
    EXPECT_TRUE(game.achievements()[0].unlocked());
    EXPECT_EQ(game.achievements()[0].unlockedAt, fromReferenceSeconds(786000000));
    game.bumpStreak();
    EXPECT_EQ(game.streak(), 1);
    EXPECT_EQ(game.bestStreak(), 6);

    // 31 November would roll over into yesterday, 1 December.
    home_.write(kGameFile, R"({"coins":3,"streak":5,"bestStreak":6,"lastActiveDay":"2026-11-31",)"
                           R"("bossesBeaten":0,"unlocked":{}})");
    clock_.set(at("2026-12-02T12:00:00Z"));
    Game rolled(clock_);
    rolled.bumpStreak();
    EXPECT_EQ(rolled.streak(), 1);
}

TEST_F(GameTest, AFileMissingAKeyIsIgnoredAndKeptAside) {
    const std::string partial =
        R"({"coins":40,"streak":2,"bestStreak":2,"lastActiveDay":"2026-01-14","unlocked":{}})";
    home_.write(kGameFile, partial);
    Game game(clock_);
    EXPECT_EQ(game.coins(), 0);
    EXPECT_EQ(*home_.read(kGameFile), partial);  // untouched until the first save
    game.agentCompleted();
    EXPECT_EQ(home_.read(".vorla-agents/data/game.json.corrupt-20260115-120000"), partial);
    EXPECT_EQ(saved()["coins"], 1);
}

}  // namespace
}  // namespace vorla
