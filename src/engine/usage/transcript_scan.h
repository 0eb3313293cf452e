// Token usage from the agents' transcripts (JSON Lines), per day and model.
//
// Pure functions of their arguments and the files' bytes: any number may run
// at once on different threads. Nothing is reported or thrown: an unreadable
// file gives an empty result and a bad line is skipped.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/usage/day_usage.h"

namespace vorla::TranscriptScan {

// One Claude response that carries both a message id and a request id, so it
// can be recognised when a continued session copies it into another file.
struct KeyedResponse {
    std::uint64_t key = 0;  // responseKey(message id, request id)
    std::int64_t input = 0;
    std::int64_t output = 0;
    std::int64_t cacheWrite = 0;
    std::int64_t cacheRead = 0;

    [[nodiscard]] DayUsage usage() const { return {input, output, cacheWrite, cacheRead, 1}; }
    friend bool operator==(const KeyedResponse&, const KeyedResponse&) = default;
};

// day -> model -> the keyed responses booked there, in file order
using KeyedBuckets = std::map<std::string, std::map<std::string, std::vector<KeyedResponse>>>;

struct ClaudeScan {
    UsageBuckets buckets;  // everything the file counts, keyed responses included
    KeyedBuckets keyed;    // the part of `buckets` that other files may repeat
};

// A Claude Code session transcript. Only lines containing "usage" in quotes
// are parsed; a response repeated under one message id within the file counts
// once. Lines without a timestamp are not counted.
[[nodiscard]] ClaudeScan claudeScan(const std::string& path);
[[nodiscard]] UsageBuckets claudeUsage(const std::string& path);

// A Codex session log: the sum of its per-response token records (a forked
// session's running total starts from its parent's, so only the records tell
// its own use), else the last total token count of the file; booked on the
// day of its first timestamp under the last model named. At most one entry.
[[nodiscard]] UsageBuckets codexUsage(const std::string& path);

// Display name of a model identifier: "Fable", "Opus", "Sonnet", "Haiku",
// "GPT", "—" for the empty text, else the identifier unchanged.
[[nodiscard]] std::string shortModel(std::string_view identifier);

// The cross-file identity of a response (a 64-bit hash of both ids).
[[nodiscard]] std::uint64_t responseKey(std::string_view messageID, std::string_view requestID);

}  // namespace vorla::TranscriptScan
