// Calendar helpers. Local-time functions follow the process's time zone (TZ),
// read afresh on each call, so a test can set TZ before calling. Safe from any
// thread (localtime_r/gmtime_r).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/support/clock.h"

namespace vorla {

// "yyyy-MM-dd" of the local calendar day containing `time`.
[[nodiscard]] std::string dayKey(WallTime time);

// Midnight that starts the local day containing `time` (DST-aware).
[[nodiscard]] WallTime startOfDay(WallTime time);

// The local day `days` after the one containing `time` (negative: before),
// as its start. Calendar arithmetic, so 23- and 25-hour days count as one.
[[nodiscard]] WallTime addDays(WallTime time, int days);

// Local hour 0-23.
[[nodiscard]] int localHour(WallTime time);

// Whether `time` lies on the local day before the one containing `now`.
[[nodiscard]] bool isYesterday(WallTime time, WallTime now);

// Whether both lie on the same local day.
[[nodiscard]] bool isSameDay(WallTime a, WallTime b);

// Abbreviated English weekday of the local day: "Mon" ... "Sun".
[[nodiscard]] std::string weekdayLabel(WallTime time);

// "2026-12-06T15:04:05Z": ISO 8601 in UTC with whole seconds (truncated).
[[nodiscard]] std::string iso8601UTC(WallTime time);

// Parses the form above (also accepting a fraction or a +hh:mm offset);
// nullopt for anything else.
[[nodiscard]] std::optional<WallTime> parseISO8601(std::string_view text);

// "20261206-150405": a UTC stamp for file names.
[[nodiscard]] std::string fileStampUTC(WallTime time);

// Seconds since 2001-01-01 00:00:00 UTC (the epoch of rules.json and game.json).
inline constexpr double kReferenceEpochOffset = 978307200.0;
[[nodiscard]] double toReferenceSeconds(WallTime time);
[[nodiscard]] WallTime fromReferenceSeconds(double seconds);

// Parses a "yyyy-MM-dd" day key into the start of that local day; nullopt
// for a date that does not exist.
[[nodiscard]] std::optional<WallTime> dayFromKey(std::string_view key);

}  // namespace vorla
