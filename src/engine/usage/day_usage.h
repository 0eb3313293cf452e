// Token counts per day and model: the vocabulary of the usage scan, the
// usage cache and the usage snapshot. Plain values, safe to copy anywhere.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace vorla {

struct DayUsage {
    std::int64_t input = 0;  // input tokens not served from a cache
    std::int64_t output = 0;
    std::int64_t cacheWrite = 0;  // input tokens written to the prompt cache
    std::int64_t cacheRead = 0;   // input tokens read from the prompt cache
    std::int64_t messages = 0;    // Claude: assistant messages; Codex: 1 per session file

    DayUsage& operator+=(const DayUsage& other) {
        input += other.input;
        output += other.output;
        cacheWrite += other.cacheWrite;
        cacheRead += other.cacheRead;
        messages += other.messages;
        return *this;
    }
    DayUsage& operator-=(const DayUsage& other) {
        input -= other.input;
        output -= other.output;
        cacheWrite -= other.cacheWrite;
        cacheRead -= other.cacheRead;
        messages -= other.messages;
        return *this;
    }
    friend DayUsage operator+(DayUsage a, const DayUsage& b) { return a += b; }
    friend bool operator==(const DayUsage&, const DayUsage&) = default;
};

// day key ("2025-03-09", as written in the transcript) -> model display name -> usage
using UsageBuckets = std::map<std::string, std::map<std::string, DayUsage>>;

// Adds `from` into `into`, creating missing entries at zero.
inline void merge(UsageBuckets& into, const UsageBuckets& from) {
    for (const auto& [day, models] : from) {
        auto& target = into[day];
        for (const auto& [model, usage] : models) {
            target[model] += usage;
        }
    }
}

}  // namespace vorla
