// The usage cache, ~/.vorla-agents/data/usage-cache.json: what each
// transcript contributed when it was last scanned, so unchanged transcripts
// are never read again, and the total of the last window they made up.
//
// Plain functions on values; any thread. Decoding fails as a whole: a cache
// that cannot be read is treated as empty and rebuilt by the next scan.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/support/clock.h"
#include "engine/usage/day_usage.h"
#include "engine/usage/transcript_scan.h"

namespace vorla {

struct FileUsage {
    WallTime mtime;  // whole seconds: the file's modification time when scanned
    std::int64_t size = 0;
    UsageBuckets buckets;
    // Stored as the member "keyed": responses another file may repeat, so that
    // merging can count each of them once across files.
    TranscriptScan::KeyedBuckets keyed;

    friend bool operator==(const FileUsage&, const FileUsage&) = default;
};

// Absolute transcript path -> what it contributed.
using UsageCache = std::unordered_map<std::string, FileUsage>;

// What every transcript of one window added up to, each repeated response
// once: while no transcript changes, it answers without decoding any file's
// entry (that decoding was most of a warm `usage`).
struct WindowTotal {
    std::string key;  // windowKey() of the window's transcripts and of `total`
    UsageBuckets total;

    friend bool operator==(const WindowTotal&, const WindowTotal&) = default;
};

// Ties a total to the transcripts it was built from. `transcripts` is the
// SHA-256 (hex) of every transcript in the window (path, modification time,
// size, in order); the key covers it and the total's own encoding, so a total
// written for other files, or damaged on disk, does not match.
[[nodiscard]] std::string windowKey(std::string_view transcripts, const UsageBuckets& total);

// Two lines, so the window total is read without the entries:
//   {"version":2,"window":{"key":"<hex>","total":<buckets>}}   ("window" optional)
//   {"<path>":{"mtime":"2025-03-09T14:05:00Z","size":1,"buckets":<buckets>,
//    "keyed":{"<day>":{"<model>":"<hex>"}}}}
// where <buckets> is {"<day>":{"<model>":{"input":..,"output":..,
// "cacheWrite":..,"cacheRead":..,"messages":..}}} and <hex> packs each keyed
// response as its 64-bit key (8 bytes, little endian) and its four counts
// (zig-zag LEB128 varints).
[[nodiscard]] std::string encodeUsageCache(const UsageCache& cache,
                                           const std::optional<WindowTotal>& window = {});

// The entries; nullopt when `text` is not a cache in the form above (an
// older form included: it is rebuilt).
[[nodiscard]] std::optional<UsageCache> decodeUsageCache(std::string_view text);

// The window total of the first line; nullopt when there is none or the line
// is not in the form above. The key is not checked here: only the caller
// knows the transcripts.
[[nodiscard]] std::optional<WindowTotal> decodeWindowTotal(std::string_view text);

// Reads and decodes the cache file; nullopt when it is missing or unusable.
[[nodiscard]] std::optional<UsageCache> loadUsageCache(const std::string& path);

// Reads only the file's first line and decodes its window total.
[[nodiscard]] std::optional<WindowTotal> loadWindowTotal(const std::string& path);

// ~/.vorla-agents/data/usage-cache.json
[[nodiscard]] std::string usageCachePath();

}  // namespace vorla
