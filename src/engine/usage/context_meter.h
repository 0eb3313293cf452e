// How full a live session's context window is, estimated from the tail of its
// transcript (the Claude Code layout; other transcripts give no reading).
//
// read() is safe from any thread: the process-wide cache is guarded by one
// lock, held for the lookup and the store only, never while parsing. Failures
// are never reported; they give no reading.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vorla {

struct ContextUsage {
    std::int64_t used = 0;   // tokens in the context at the last counted request
    std::int64_t limit = 0;  // window size the caller assumed

    // 950 -> "950", 1000 -> "1k", 199999 -> "199k".
    [[nodiscard]] static std::string shortText(std::int64_t tokens);

    friend bool operator==(const ContextUsage&, const ContextUsage&) = default;
};

namespace ContextMeter {

// Only this many bytes at the end of a transcript are read.
inline constexpr std::int64_t kTailBytes = 131072;

// The usage of the last assistant request in `transcript`, with `limit` as the
// window size. Cached by path and validated by modification time plus size:
// an unchanged file is not read again (and keeps the limit it was read with).
// A missing file gives nullopt and is not cached.
[[nodiscard]] std::optional<ContextUsage> read(const std::string& transcript, std::int64_t limit);

// The uncached reading, exposed for tests and benchmarks.
[[nodiscard]] std::optional<ContextUsage> parse(const std::string& path, std::int64_t limit);

// How many times parse() ran through read() since start: lets tests see the
// cache at work.
[[nodiscard]] std::uint64_t parseCount();

}  // namespace ContextMeter

}  // namespace vorla
