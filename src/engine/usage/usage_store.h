// Token usage and cost of the last days, read from the agents' own records
// (Claude Code and Codex transcripts, Gemini CLI, Copilot CLI and Qwen Code
// session files, OpenCode's database) with a per-file cache so unchanged
// files are not read again.
//
// A store lives for one snapshot: create it, call snapshot() once, drop it.
// snapshot() blocks (it reads files): call it off the interface thread. The
// per-file scans inside run in parallel on worker threads of their own.
// Nothing is reported: unreadable folders and files are skipped, an unusable
// cache counts as empty, a failed cache write is ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/support/clock.h"
#include "engine/usage/day_usage.h"
#include "engine/usage/usage_cache.h"

namespace vorla {

// Whose records a file holds.
enum class UsageSource { claude, codex, gemini, copilot, qwen, opencode };

struct UsageSnapshot {
    struct ModelUsage {
        std::string model;
        DayUsage usage;
        double cost = 0;
        bool priced = true;  // false: no known price, cost unknown (0 here)
        friend bool operator==(const ModelUsage&, const ModelUsage&) = default;
    };
    struct DayPoint {
        std::string day;    // local "yyyy-MM-dd"
        std::string label;  // abbreviated weekday
        std::int64_t output = 0;
        double cost = 0;
        bool isToday = false;
        friend bool operator==(const DayPoint&, const DayPoint&) = default;
    };

    DayUsage today;
    DayUsage week;  // the last seven local days, today included
    double todayCost = 0;
    double weekCost = 0;
    std::vector<ModelUsage> weekByModel;  // most output first; placeholder names left out
    std::vector<DayPoint> daily;          // seven points, oldest first, today last
    std::int64_t scannedFiles = 0;        // transcripts in the window, cached or read
    // Models of the week with tokens but no known price, sorted: their
    // tokens count above, their cost is left out of every cost.
    std::vector<std::string> unpricedModels;

    friend bool operator==(const UsageSnapshot&, const UsageSnapshot&) = default;
};

// The snapshot as compact JSON with the field names above.
[[nodiscard]] std::string encodeJSON(const UsageSnapshot& snapshot);

class UsageStore {
  public:
    struct Candidate;  // a transcript modified within the window

    // Creates ~/.vorla-agents/data if needed and reads the cache's window
    // total; the entries are read only when the window changed.
    explicit UsageStore(const Clock& clock = SystemClock::shared());

    // Usage of the transcripts modified within the last `days` days.
    [[nodiscard]] UsageSnapshot snapshot(int days);

    // The usage behind snapshot(): every (day, model) of the transcripts
    // modified within the last `days` days, each repeated response once.
    // Also updates the cache like snapshot(). fileCount receives the number
    // of transcripts in the window.
    [[nodiscard]] UsageBuckets totals(int days, std::int64_t* fileCount = nullptr);

    // How many transcripts the last snapshot() actually read.
    [[nodiscard]] std::size_t filesRead() const { return filesRead_; }

    // Folds merged per-(day, model) usage into a snapshot as of `now`.
    [[nodiscard]] static UsageSnapshot build(const UsageBuckets& total, std::int64_t fileCount,
                                             WallTime now);

  private:
    [[nodiscard]] std::vector<Candidate> candidates(WallTime cutoff) const;
    UsageBuckets collect(WallTime now, int days, std::int64_t* fileCount);
    UsageBuckets collectFromEntries(const std::vector<Candidate>& files, WallTime cutoff,
                                    const std::string& transcripts);
    void scan(const std::vector<const Candidate*>& queue, WallTime cutoff);

    const Clock& clock_;
    std::string cachePath_;
    std::optional<WindowTotal> window_;
    UsageCache cache_;
    bool entriesLoaded_ = false;
    std::size_t filesRead_ = 0;
};

}  // namespace vorla
