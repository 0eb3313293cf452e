#include "engine/records/timeline.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "engine/support/calendar.h"

namespace vorla {

namespace {

using Seconds = std::chrono::duration<double>;

bool byStart(const SessionSpan& a, const SessionSpan& b) {
    return a.start < b.start;
}

}  // namespace

DayTimeline DayTimeline::build(const std::vector<AuditEntry>& entries, WallTime now) {
    const WallTime dayStart = startOfDay(now);
    std::vector<SessionSpan> spans;  // in first-seen order until sorted
    std::unordered_map<std::string, std::size_t> index;
    for (const AuditEntry& entry : entries) {
        if (entry.ts < dayStart) {
            continue;
        }
        auto [it, inserted] = index.try_emplace(entry.sessionID, spans.size());
        if (inserted) {
            spans.push_back(
                SessionSpan{entry.sessionID, entry.agent, entry.project, entry.ts, entry.ts});
            continue;
        }
        SessionSpan& span = spans[it->second];
        span.start = std::min(span.start, entry.ts);
        span.end = std::max(span.end, entry.ts);
        span.agent = entry.agent;
        span.project = entry.project;
    }
    for (SessionSpan& span : spans) {
        span.end = std::max(span.end, span.start + std::chrono::seconds(60));
    }
    std::stable_sort(spans.begin(), spans.end(), byStart);

    DayTimeline timeline;
    timeline.activeWallClock = unionLength(spans);
    for (const SessionSpan& span : spans) {
        auto lane = std::find_if(timeline.byProject.begin(), timeline.byProject.end(),
                                 [&](const ProjectLane& l) { return l.project == span.project; });
        if (lane == timeline.byProject.end()) {
            timeline.byProject.push_back(ProjectLane{span.project, {}});
            lane = timeline.byProject.end() - 1;
        }
        lane->spans.push_back(span);
    }
    timeline.spans = std::move(spans);
    return timeline;
}

double DayTimeline::unionLength(std::vector<SessionSpan> spans) {
    if (spans.empty()) {
        return 0;
    }
    std::stable_sort(spans.begin(), spans.end(), byStart);
    double total = 0;
    WallTime start = spans[0].start;
    WallTime end = spans[0].end;
    for (std::size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].start > end) {
            total += Seconds(end - start).count();
            start = spans[i].start;
            end = spans[i].end;
        } else if (spans[i].end > end) {
            end = spans[i].end;
        }
    }
    return total + Seconds(end - start).count();
}

std::string DayTimeline::activeDisplay() const {
    auto seconds = static_cast<long long>(std::trunc(activeWallClock));
    long long minutes = (seconds % 3600) / 60;
    if (seconds < 3600) {
        return std::to_string(minutes) + "m";
    }
    return std::to_string(seconds / 3600) + "h " + std::to_string(minutes) + "m";
}

}  // namespace vorla
