#include "engine/records/timeline.h"

#include <gtest/gtest.h>

#include "engine/support/calendar.h"
#include "support/scoped_env.h"

namespace vorla {
namespace {

WallTime at(const char* iso) {
    return *parseISO8601(iso);
}

AuditEntry seen(const char* iso, std::string session, std::string project = "app") {
    return AuditEntry{at(iso), "claude", std::move(session), std::move(project), AuditKind::tool,
                      "Bash",  "",       std::nullopt};
}

class DayTimelineTest : public ::testing::Test {
  protected:
    test::ScopedEnv zone_{"TZ", "UTC"};
    WallTime now_ = at("2026-01-15T18:00:00Z");
};

// Overlapping sessions of one project counted once in one lane: the Today
// page test (ui settings_today_test) reads it off the page.
TEST_F(DayTimelineTest, SingleEntriesGetAMinuteAndEarlierDaysAreIgnored) {
    auto timeline = DayTimeline::build(
        {seen("2026-01-15T09:00:00Z", "late", "web"), seen("2026-01-15T08:00:00Z", "early", "api"),
         seen("2026-01-14T23:59:59Z", "early", "api")},
        now_);
    ASSERT_EQ(timeline.spans.size(), 2u);
    EXPECT_EQ(timeline.spans[0].start, at("2026-01-15T08:00:00Z"));
    EXPECT_EQ(timeline.spans[0].end, at("2026-01-15T08:01:00Z"));
    ASSERT_EQ(timeline.byProject.size(), 2u);
    EXPECT_EQ(timeline.byProject[0].project, "api");  // lanes by their first start
    EXPECT_EQ(timeline.byProject[1].project, "web");
    EXPECT_EQ(timeline.activeWallClock, 120);
    EXPECT_EQ(timeline.activeDisplay(), "2m");
}

TEST_F(DayTimelineTest, TheLastEntryInListOrderNamesTheProject) {
    auto timeline = DayTimeline::build(
        {seen("2026-01-15T10:10:00Z", "s", "renamed"),
         seen("2026-01-15T10:00:00Z", "s", "original"), seen("2026-01-15T10:05:00Z", "t", "")},
        now_);
    ASSERT_EQ(timeline.byProject.size(), 2u);
    EXPECT_EQ(timeline.byProject[0].project, "original");
    EXPECT_EQ(timeline.byProject[1].project, "");  // an empty project is a lane too
}

TEST_F(DayTimelineTest, UnionMergesTouchingIntervalsAndEmptyIsZero) {
    auto span = [](const char* from, const char* to) {
        return SessionSpan{"s", "claude", "p", at(from), at(to)};
    };
    EXPECT_EQ(DayTimeline::unionLength({}), 0);
    EXPECT_EQ(DayTimeline::unionLength({span("2026-01-15T10:20:00Z", "2026-01-15T10:30:00Z"),
                                        span("2026-01-15T10:00:00Z", "2026-01-15T10:10:00Z"),
                                        span("2026-01-15T10:10:00Z", "2026-01-15T10:15:00Z"),
                                        span("2026-01-15T10:01:00Z", "2026-01-15T10:02:00Z")}),
              25 * 60);
    DayTimeline empty = DayTimeline::build({}, now_);
    EXPECT_TRUE(empty.spans.empty());
    EXPECT_TRUE(empty.byProject.empty());
    EXPECT_EQ(empty.activeDisplay(), "0m");
}

}  // namespace
}  // namespace vorla
