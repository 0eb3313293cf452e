// The journal of what the agents did and what was decided: today's entries
// in memory, every entry appended to ~/.vorla-agents/audit/<yyyy-MM-dd>.jsonl
// (local day of the entry's own timestamp), and what the views derive from it.
//
// Main thread only; file reads and writes are synchronous. File errors never
// surface: unreadable files and undecodable lines are skipped, a failed
// append keeps the entry in memory. Audit files are only ever appended to,
// never replaced or rewritten.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/result.h"
#include "engine/records/audit_entry.h"
#include "engine/support/clock.h"
#include "engine/support/observable.h"

namespace vorla {

class AuditLog {
  public:
    // Per-agent counts over today().
    struct Score {
        std::string agent;
        std::string displayName;  // "Claude Code" for claude, ...; unknown agents as they stand
        int toolsRun = 0;
        int approved = 0;  // approved + auto-allowed
        int denied = 0;    // denied + auto-denied
        int autoAllowed = 0;
        int risky = 0;  // risk present and >= 2, whatever the kind

        [[nodiscard]] const std::string& id() const { return agent; }
        // approved / (approved + denied) as a whole percentage (truncated);
        // 100 when nothing was decided.
        [[nodiscard]] int trustPercent() const;
        friend bool operator==(const Score&, const Score&) = default;
    };

    // Entries kept in today() by record(); the day file keeps everything.
    static constexpr std::size_t kTodayLimit = 500;

    // Loads the current day's file. `directory` defaults to ~/.vorla-agents/audit.
    explicit AuditLog(const Clock& clock = SystemClock::shared(), std::string directory = "");

    // Newest first: the current day's file as read at start-up, plus every
    // entry recorded since (not cleared at midnight).
    [[nodiscard]] const std::vector<AuditEntry>& today() const { return today_; }

    // Replaces today() with the current day's file, newest first, uncapped.
    // An unreadable or non-UTF-8 file leaves today() as it was.
    void load();

    // Puts the entry first in today() (dropping the oldest beyond
    // kTodayLimit) and appends its line to the file of the entry's own day,
    // creating the file if needed.
    void record(const AuditEntry& entry);

    // readRecentAudit() and exportAuditCSV() (below) of this log's folder, now.
    [[nodiscard]] std::vector<AuditEntry> recent(int days) const;
    [[nodiscard]] Result<std::string> exportCSV() const;

    // Sorted by toolsRun, largest first; ties keep first-seen order.
    [[nodiscard]] std::vector<Score> scoreboard() const;

    // Entries in today() whose kind begins with "auto".
    [[nodiscard]] int clicksSaved() const;

    [[nodiscard]] const std::string& directory() const { return directory_; }
    [[nodiscard]] std::string fileFor(WallTime time) const;

    // Called after every change of today().
    [[nodiscard]] Subscription subscribe(std::function<void()> onChange) {
        return changes_.subscribe(std::move(onChange));
    }

  private:
    const Clock& clock_;
    std::string directory_;
    std::vector<AuditEntry> today_;
    ChangeNotifier changes_;
};

// Readers of an audit folder for background work: they take every input as
// a value and touch no AuditLog, so any thread may call them.

// The entries of the files of the last `days` days (now, now - 86,400 s,
// ...), newest first; equal timestamps keep their reading order.
[[nodiscard]] std::vector<AuditEntry> readRecentAudit(const std::string& directory, WallTime now,
                                                      int days);

// Writes the whole history as CSV to <desktop>/vorla-agents-audit.csv and
// returns that path. Fails with the sentence to show: "Could not export: the
// audit folder cannot be read." or "Could not save vorla-agents-audit.csv to
// your Desktop."
[[nodiscard]] Result<std::string> exportAuditCSV(const std::string& directory);

// The CSV export's text for the entries of the given files (in that order):
// header "timestamp,agent,project,event,tool,risk,detail", no final line feed.
[[nodiscard]] std::string auditCSV(const std::vector<std::string>& files);

}  // namespace vorla
