#include "engine/support/calendar.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace vorla {

namespace {

// WallTime counts nanoseconds in 64 bits: 1677-09-21 to 2262-04-11. Whole
// years inside that span are the ones a stored date may name.
constexpr int kFirstYear = 1678;
constexpr int kLastYear = 2261;

// to_time_t may round; floor so 23:59:59.9 stays on its day.
std::time_t floorSeconds(WallTime time) {
    std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    if (std::chrono::system_clock::from_time_t(seconds) > time) {
        --seconds;
    }
    return seconds;
}

std::tm localParts(WallTime time) {
    tzset();  // pick up a TZ changed since the last call
    std::time_t seconds = floorSeconds(time);
    std::tm parts{};
    localtime_r(&seconds, &parts);
    return parts;
}

WallTime fromLocalParts(std::tm parts) {
    parts.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&parts));
}

// Exactly `len` decimal digits: no sign, no space.
bool readInt(std::string_view text, std::size_t pos, std::size_t len, int& out) {
    if (pos + len > text.size()) {
        return false;
    }
    for (std::size_t i = pos; i < pos + len; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    const char* begin = text.data() + pos;
    auto [end, ec] = std::from_chars(begin, begin + len, out);
    return ec == std::errc() && end == begin + len;
}

}  // namespace

std::string dayKey(WallTime time) {
    std::tm parts = localParts(time);
    std::array<char, 48> text{};  // sized for any int, to satisfy -Wformat-truncation
    std::snprintf(text.data(), text.size(), "%04d-%02d-%02d", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday);
    return text.data();
}

WallTime startOfDay(WallTime time) {
    std::tm parts = localParts(time);
    parts.tm_hour = 0;
    parts.tm_min = 0;
    parts.tm_sec = 0;
    return fromLocalParts(parts);
}

WallTime addDays(WallTime time, int days) {
    std::tm parts = localParts(time);
    parts.tm_mday += days;
    parts.tm_hour = 0;
    parts.tm_min = 0;
    parts.tm_sec = 0;
    return fromLocalParts(parts);
}

int localHour(WallTime time) {
    return localParts(time).tm_hour;
}

bool isSameDay(WallTime a, WallTime b) {
    return dayKey(a) == dayKey(b);
}

bool isYesterday(WallTime time, WallTime now) {
    return isSameDay(time, addDays(now, -1));
}

std::string weekdayLabel(WallTime time) {
    static constexpr std::array<const char*, 7> kNames = {"Sun", "Mon", "Tue", "Wed",
                                                          "Thu", "Fri", "Sat"};
    return kNames.at(static_cast<std::size_t>(localParts(time).tm_wday));
}

std::string iso8601UTC(WallTime time) {
    std::time_t seconds = floorSeconds(time);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    std::array<char, 32> text{};
    std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text.data();
}

std::string fileStampUTC(WallTime time) {
    std::time_t seconds = floorSeconds(time);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    std::array<char, 32> text{};
    std::strftime(text.data(), text.size(), "%Y%m%d-%H%M%S", &parts);
    return text.data();
}

std::optional<WallTime> parseISO8601(std::string_view text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (text.size() < 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || !readInt(text, 0, 4, year) ||
        !readInt(text, 5, 2, month) || !readInt(text, 8, 2, day) || !readInt(text, 11, 2, hour) ||
        !readInt(text, 14, 2, minute) || !readInt(text, 17, 2, second)) {
        return std::nullopt;
    }
    std::size_t pos = 19;
    double fraction = 0;
    if (pos < text.size() && text[pos] == '.') {
        double scale = 0.1;
        ++pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            fraction += (text[pos] - '0') * scale;
            scale /= 10;
            ++pos;
        }
    }
    int offsetSeconds = 0;
    if (pos < text.size() && text[pos] == 'Z' && pos + 1 == text.size()) {
        offsetSeconds = 0;
    } else if (pos + 6 == text.size() && (text[pos] == '+' || text[pos] == '-') &&
               text[pos + 3] == ':') {
        int oh = 0, om = 0;
        if (!readInt(text, pos + 1, 2, oh) || !readInt(text, pos + 4, 2, om)) {
            return std::nullopt;
        }
        offsetSeconds = (oh * 3600 + om * 60) * (text[pos] == '-' ? -1 : 1);
    } else {
        return std::nullopt;
    }
    if (year < kFirstYear || year > kLastYear || month < 1 || month > 12 || day < 1 || day > 31 ||
        hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    // Calendar arithmetic instead of timegm(): the audit log parses tens of
    // thousands of stamps per read. Out-of-range days roll over like timegm.
    using namespace std::chrono;
    sys_days date = sys_days(year_month_day(std::chrono::year(year),
                                            std::chrono::month(static_cast<unsigned>(month)),
                                            std::chrono::day(1))) +
                    days(day - 1);
    sys_seconds utc = date + hours(hour) + minutes(minute) + seconds(second - offsetSeconds);
    return WallTime(utc) + duration_cast<WallTime::duration>(duration<double>(fraction));
}

double toReferenceSeconds(WallTime time) {
    return toEpochSeconds(time, static_cast<std::int64_t>(kReferenceEpochOffset));
}

WallTime fromReferenceSeconds(double seconds) {
    double whole = std::floor(seconds);  // add the offset to whole seconds only: no rounding
    return fromEpochSeconds(whole + kReferenceEpochOffset) +
           std::chrono::round<WallTime::duration>(std::chrono::duration<double>(seconds - whole));
}

std::optional<WallTime> dayFromKey(std::string_view key) {
    int year = 0, month = 0, day = 0;
    if (key.size() != 10 || key[4] != '-' || key[7] != '-' || !readInt(key, 0, 4, year) ||
        !readInt(key, 5, 2, month) || !readInt(key, 8, 2, day) || year < kFirstYear ||
        year > kLastYear) {
        return std::nullopt;
    }
    // A day the month does not have ("2026-11-31") is not rolled into the next.
    using namespace std::chrono;
    if (!year_month_day(std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                        std::chrono::day(static_cast<unsigned>(day)))
             .ok()) {
        return std::nullopt;
    }
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    return fromLocalParts(parts);
}

}  // namespace vorla
