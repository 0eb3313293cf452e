// The Today picture: one time span per agent session, one lane per project,
// and the wall-clock time during which any agent was active. Pure values and
// functions; safe from any thread.
#pragma once

#include <string>
#include <vector>

#include "engine/records/audit_entry.h"
#include "engine/support/clock.h"

namespace vorla {

struct SessionSpan {
    std::string id;  // sessionID
    std::string agent;
    std::string project;
    WallTime start;  // earliest entry of the session today
    WallTime end;    // latest entry, but at least start + 60 s

    friend bool operator==(const SessionSpan&, const SessionSpan&) = default;
};

struct ProjectLane {
    std::string project;             // may be empty: a lane of its own
    std::vector<SessionSpan> spans;  // in start order

    friend bool operator==(const ProjectLane&, const ProjectLane&) = default;
};

struct DayTimeline {
    std::vector<SessionSpan> spans;      // by start, earliest first
    std::vector<ProjectLane> byProject;  // by the start of their first span
    double activeWallClock = 0;          // seconds covered by at least one span

    // Spans of the entries stamped at or after the start of the local day
    // containing `now`. A session's agent and project are those of the
    // entry that comes last in `entries` (with the newest-first audit list,
    // its oldest entry today).
    [[nodiscard]] static DayTimeline build(const std::vector<AuditEntry>& entries, WallTime now);

    // Length in seconds of the union of the spans' intervals; touching
    // intervals merge.
    [[nodiscard]] static double unionLength(std::vector<SessionSpan> spans);

    // "42m" under an hour, else "1h 2m" (whole seconds, truncated).
    [[nodiscard]] std::string activeDisplay() const;
};

}  // namespace vorla
