// The per-file usage cache, ~/.vorla-agents/data/usage-cache.json: what each
// transcript contributed when it was last scanned, so unchanged transcripts
// are never read again.
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

// Compact JSON: {"<path>":{"mtime":"2025-03-09T14:05:00Z","size":1,
// "buckets":{"<day>":{"<model>":{"input":..,"output":..,"cacheWrite":..,
// "cacheRead":..,"messages":..}}},"keyed":{"<day>":{"<model>":"<hex>"}}}}
// where <hex> packs each keyed response as its 64-bit key (8 bytes, little
// endian) and its four counts (zig-zag LEB128 varints).
[[nodiscard]] std::string encodeUsageCache(const UsageCache& cache);

// nullopt when `json` is not a cache in the form above.
[[nodiscard]] std::optional<UsageCache> decodeUsageCache(std::string_view json);

// Reads and decodes the cache file; nullopt when it is missing or unusable.
[[nodiscard]] std::optional<UsageCache> loadUsageCache(const std::string& path);

// ~/.vorla-agents/data/usage-cache.json
[[nodiscard]] std::string usageCachePath();

}  // namespace vorla
