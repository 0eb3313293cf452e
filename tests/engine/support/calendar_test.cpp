#include "engine/support/calendar.h"

#include <gtest/gtest.h>

namespace vorla {
namespace {

double epoch(std::string_view iso) {
    return toEpochSeconds(*parseISO8601(iso));
}

TEST(CalendarTest, ParsesISO8601InUTCWithOffsetsAndFractions) {
    EXPECT_EQ(epoch("1970-01-01T00:00:00Z"), 0);
    EXPECT_EQ(epoch("2025-06-01T14:03:09Z"), 1748786589);
    EXPECT_EQ(epoch("2024-02-29T23:59:59Z"), 1709251199);  // leap day
    EXPECT_EQ(epoch("2025-06-01T16:03:09+02:00"), 1748786589);
    EXPECT_EQ(epoch("2025-06-01T14:03:09.25Z"), 1748786589.25);
    EXPECT_EQ(epoch("2001-01-01T00:00:00Z"), kReferenceEpochOffset);
    EXPECT_EQ(epoch("2025-02-30T00:00:00Z"), epoch("2025-03-02T00:00:00Z"));  // rolls over
    for (const char* bad :
         {"", "2025-06-01", "2025-06-01T14:03:09", "2025-13-01T00:00:00Z", "2025-06-01 14:03:09Z",
          "2025-06-01T14:03:09Zjunk", "yesterday", "2025-06-01T-1:03:09Z", "2025-06-01T14:-3:09Z",
          "2025-+6-01T14:03:09Z", "2025-06-01T14:03:09+-1:00"}) {
        EXPECT_EQ(parseISO8601(bad), std::nullopt) << bad;
    }
}

TEST(CalendarTest, DayKeysMustNameARealDay) {
    EXPECT_EQ(dayKey(dayFromKey("2024-02-29").value()), "2024-02-29");
    // Years WallTime cannot hold are refused, not overflowed (a hand-edited game.json).
    for (const char* bad : {"2026-11-31", "2025-02-29", "2026-00-10", "2026-01-+1", "2026-1-01",
                            "4352-02-16", "1600-01-01"}) {
        EXPECT_EQ(dayFromKey(bad), std::nullopt) << bad;
    }
}

TEST(CalendarTest, ReferenceSecondsRoundTripExactly) {
    WallTime time = fromReferenceSeconds(786000000.5);
    EXPECT_EQ(toReferenceSeconds(time), 786000000.5);
    EXPECT_EQ(toEpochSeconds(time), 1764307200.5);
    EXPECT_EQ(iso8601UTC(fromEpochSeconds(1764000000.999)), "2025-11-24T16:00:00Z");
}

}  // namespace
}  // namespace vorla
