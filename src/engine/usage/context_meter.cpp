#include "engine/usage/context_meter.h"

#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string_view>

#include "engine/support/thread_annotations.h"

namespace vorla {

std::string ContextUsage::shortText(std::int64_t tokens) {
    if (tokens < 1000) {
        return std::to_string(tokens);
    }
    return std::to_string(tokens / 1000) + "k";
}

namespace ContextMeter {

namespace {

struct FileStamp {
    std::int64_t mtimeNanos = 0;
    std::int64_t size = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

struct CacheEntry {
    FileStamp stamp;
    std::optional<ContextUsage> usage;
};

// The process-wide cache: one entry per transcript path ever read.
struct Cache {
    Mutex mutex;
    std::map<std::string, CacheEntry> entries VORLA_GUARDED_BY(mutex);
    std::atomic<std::uint64_t> parses{0};
};

Cache& cache() {
    static Cache instance;
    return instance;
}

std::optional<FileStamp> stampOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileStamp{
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
        static_cast<std::int64_t>(info.st_size)};
}

std::optional<std::string> readTail(const std::string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
        return std::nullopt;
    }
    long size = std::ftell(file.get());
    if (size < 0) {
        return std::nullopt;
    }
    // One byte more than the tail: whether the byte before it ends a line
    // tells a cut line from a whole one.
    long start = std::max(0L, size - static_cast<long>(kTailBytes) - 1);
    (void)std::fseek(file.get(), start, SEEK_SET);
    std::string data(static_cast<std::size_t>(size - start), '\0');
    data.resize(std::fread(data.data(), 1, data.size(), file.get()));
    if (start > 0) {
        // The cut almost always falls inside a line, possibly inside a
        // multi-byte character: drop that partial line (only the extra byte
        // when the tail starts a line) so it cannot spoil the rest.
        auto newline = data.find('\n');
        data.erase(0, newline == std::string::npos ? data.size() : newline + 1);
    }
    if (data.empty()) {
        return std::nullopt;
    }
    return data;
}

std::int64_t integerOr0(const nlohmann::json& usage, const char* key) {
    auto it = usage.find(key);
    if (it == usage.end() || !it->is_number_integer()) {
        return 0;
    }
    return it->get<std::int64_t>();
}

// The context tokens of one transcript line; 0 when it holds none.
std::int64_t contextTokens(std::string_view line) {
    if (line.find("\"usage\"") == std::string_view::npos) {
        return 0;  // most lines: skip the parse
    }
    auto json = nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false);
    if (!json.is_object()) {
        return 0;
    }
    auto message = json.find("message");
    if (message == json.end() || !message->is_object()) {
        return 0;
    }
    auto usage = message->find("usage");
    if (usage == message->end() || !usage->is_object()) {
        return 0;
    }
    return integerOr0(*usage, "input_tokens") + integerOr0(*usage, "cache_read_input_tokens") +
           integerOr0(*usage, "cache_creation_input_tokens");
}

}  // namespace

std::optional<ContextUsage> parse(const std::string& path, std::int64_t limit) {
    auto tail = readTail(path);
    if (!tail) {
        return std::nullopt;
    }
    std::string_view rest(*tail);
    // Walk the lines from the last to the first.
    while (!rest.empty()) {
        auto newline = rest.find_last_of('\n', rest.size() - 1);
        std::string_view line = newline == std::string_view::npos ? rest : rest.substr(newline + 1);
        rest = newline == std::string_view::npos ? std::string_view() : rest.substr(0, newline);
        if (line.empty()) {
            continue;
        }
        if (std::int64_t used = contextTokens(line); used >= 1) {
            return ContextUsage{used, limit};
        }
    }
    return std::nullopt;
}

std::optional<ContextUsage> read(const std::string& transcript, std::int64_t limit) {
    auto stamp = stampOf(transcript);
    if (!stamp) {
        return std::nullopt;
    }
    Cache& shared = cache();
    {
        MutexLock lock(shared.mutex);
        auto it = shared.entries.find(transcript);
        if (it != shared.entries.end() && it->second.stamp == *stamp) {
            return it->second.usage;
        }
    }
    shared.parses.fetch_add(1);
    auto usage = parse(transcript, limit);
    MutexLock lock(shared.mutex);
    shared.entries[transcript] = CacheEntry{*stamp, usage};
    return usage;
}

std::uint64_t parseCount() {
    return cache().parses.load();
}

}  // namespace ContextMeter

}  // namespace vorla
