// The game layer: coins for finished agent runs, a daily-use streak, bosses
// for denied destructive actions and six one-time achievements, kept in
// ~/.vorla-agents/data/game.json.
//
// Main thread only. Every change is saved at once; a failed save is ignored.
// A game.json that cannot be read or decoded leaves the initial state and is
// kept beside the new file as game.json.corrupt-<UTC stamp> at the first save.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/records/audit_entry.h"
#include "engine/support/clock.h"
#include "engine/support/data_file.h"
#include "engine/support/observable.h"

namespace vorla {

struct Achievement {
    std::string id;
    std::string name;
    std::string detail;  // how to earn it
    std::optional<WallTime> unlockedAt;

    [[nodiscard]] bool unlocked() const { return unlockedAt.has_value(); }
    friend bool operator==(const Achievement&, const Achievement&) = default;
};

// The six achievements, all locked, in display order.
[[nodiscard]] const std::vector<Achievement>& achievementCatalog();

class Game {
  public:
    // ~/.vorla-agents/data/game.json
    [[nodiscard]] static std::string defaultPath();

    // Initial state, then load().
    explicit Game(const Clock& clock = SystemClock::shared(), std::string path = defaultPath());

    [[nodiscard]] int coins() const { return coins_; }
    [[nodiscard]] int streak() const { return streak_; }
    [[nodiscard]] int bestStreak() const { return bestStreak_; }
    [[nodiscard]] const std::string& lastActiveDay() const { return lastActiveDay_; }
    [[nodiscard]] int bossesBeaten() const { return bossesBeaten_; }
    [[nodiscard]] const std::vector<Achievement>& achievements() const { return achievements_; }

    // Set once by the composition root: called once, ever, per achievement,
    // when it is earned.
    std::function<void(const Achievement&)> onAchievement;

    // One finished agent run: a coin, a streak day, maybe "century".
    void agentCompleted();
    // One destructive action denied by the user: five coins, "boss-slayer".
    void bossBeaten();
    // Earns the achievement unless unknown or already earned.
    void unlock(std::string_view id);
    // Counts today as an active day (once a day); does not save.
    void bumpStreak();

    // The rules run on every audit entry right after it is recorded;
    // `liveSessions` is the number of sessions that are not done.
    void applyEntryRules(const AuditEntry& entry, int liveSessions);

    void load();
    void save();

    [[nodiscard]] Subscription subscribe(std::function<void()> onChange) {
        return changes_.subscribe(std::move(onChange));
    }

  private:
    const Clock& clock_;
    DataFile file_;
    int coins_ = 0;
    int streak_ = 0;
    int bestStreak_ = 0;
    std::string lastActiveDay_;
    int bossesBeaten_ = 0;
    std::vector<Achievement> achievements_;
    ChangeNotifier changes_;
};

}  // namespace vorla
