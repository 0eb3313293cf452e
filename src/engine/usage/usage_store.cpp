#include "engine/usage/usage_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <nlohmann/json.hpp>
#include <numeric>
#include <thread>
#include <unordered_set>

#include "core/paths.h"
#include "core/text.h"
#include "engine/support/agent_dirs.h"
#include "engine/support/atomic_file.h"
#include "engine/support/calendar.h"
#include "engine/support/sha256.h"
#include "engine/usage/agent_records.h"
#include "engine/usage/opencode_db.h"
#include "engine/usage/pricing.h"

namespace vorla {

struct UsageStore::Candidate {
    std::string path;
    WallTime mtime;  // full precision
    std::int64_t size = 0;
    UsageSource source = UsageSource::claude;

    [[nodiscard]] WallTime wholeSecondMtime() const {
        return std::chrono::floor<std::chrono::seconds>(mtime);
    }
};

namespace {

constexpr auto kDay = std::chrono::seconds(86400);

bool isTranscriptName(std::string_view name) {
    // "x.jsonl", not ".jsonl" (a hidden file without extension) nor "x.JSONL".
    return name.size() > 6 && name.ends_with(".jsonl");
}

// Modification time and size of a regular file; nullopt otherwise. Relative
// to an open folder, so the kernel does not walk the whole path each time.
std::optional<std::pair<WallTime, std::int64_t>> fileStamp(int folder, const char* name) {
    struct stat info {};
    if (fstatat(folder, name, &info, 0) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    auto since =
        std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec);
    return std::pair{WallTime(std::chrono::duration_cast<WallTime::duration>(since)),
                     static_cast<std::int64_t>(info.st_size)};
}

struct Entry {
    std::string name;
    bool directory = false;  // a real folder, not a link to one
};

class Folder {
  public:
    explicit Folder(const std::string& path) : dir_(opendir(path.c_str())) {}
    ~Folder() {
        if (dir_ != nullptr) {
            closedir(dir_);
        }
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    [[nodiscard]] bool isOpen() const { return dir_ != nullptr; }
    [[nodiscard]] int fd() const { return dirfd(dir_); }

    // Entries (hidden ones included), sorted by name so the order, and so
    // which copy of a repeated response counts, does not depend on the file
    // system.
    [[nodiscard]] std::vector<Entry> sortedEntries() const {
        std::vector<Entry> entries;
        if (dir_ == nullptr) {
            return entries;
        }
        while (const dirent* item = readdir(dir_)) {
            std::string_view name = item->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            bool directory = item->d_type == DT_DIR;
            if (item->d_type == DT_UNKNOWN) {
                struct stat info {};
                directory = fstatat(fd(), item->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                            S_ISDIR(info.st_mode);
            }
            entries.push_back({std::string(name), directory});
        }
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return a.name < b.name; });
        return entries;
    }

  private:
    DIR* dir_;
};

void addIfRecent(std::vector<UsageStore::Candidate>& out, const Folder& folder,
                 const std::string& folderPath, const std::string& name, UsageSource source,
                 WallTime cutoff) {
    auto stamp = fileStamp(folder.fd(), name.c_str());
    if (stamp && stamp->first > cutoff) {
        // One allocation for the path: this runs for every transcript on
        // every snapshot.
        std::string path;
        path.reserve(folderPath.size() + 1 + name.size());
        path.append(folderPath).append("/").append(name);
        out.push_back(UsageStore::Candidate{std::move(path), stamp->first, stamp->second, source});
    }
}

// Every "*.jsonl" below `path`, at any depth, in sorted order.
void collectCodex(const std::string& path, WallTime cutoff, std::vector<UsageStore::Candidate>& out,
                  int depth = 0) {
    Folder folder(path);
    if (!folder.isOpen() || depth > 64) {
        return;
    }
    for (const Entry& entry : folder.sortedEntries()) {
        if (entry.directory) {
            collectCodex(path + "/" + entry.name, cutoff, out, depth + 1);
        } else if (isTranscriptName(entry.name)) {
            addIfRecent(out, folder, path, entry.name, UsageSource::codex, cutoff);
        }
    }
}

// <root>/<each folder>/<sub>/<files named by `wanted`>, in sorted order.
template <typename Wanted>
void collectTwoDeep(const std::string& root, const std::string& sub, UsageSource source,
                    WallTime cutoff, std::vector<UsageStore::Candidate>& out, Wanted wanted) {
    Folder top(root);
    for (const Entry& entry : top.sortedEntries()) {
        std::string path = root;
        path.append("/").append(entry.name).append(sub);
        Folder folder(path);
        for (const Entry& file : folder.sortedEntries()) {
            if (!file.directory && wanted(file.name)) {
                addIfRecent(out, folder, path, file.name, source, cutoff);
            }
        }
    }
}

// OpenCode's database: most of its recent writes sit in the write-ahead log
// beside it, so the log's time and size count too (a change to either reads
// it again).
void addOpenCode(const std::string& dataDir, WallTime cutoff,
                 std::vector<UsageStore::Candidate>& out) {
    Folder folder(dataDir);
    if (!folder.isOpen()) {
        return;
    }
    auto db = fileStamp(folder.fd(), "opencode.db");
    if (!db) {
        return;
    }
    if (auto wal = fileStamp(folder.fd(), "opencode.db-wal")) {
        db->first = std::max(db->first, wal->first);
        db->second += wal->second;
    }
    if (db->first > cutoff) {
        out.push_back(UsageStore::Candidate{dataDir + "/opencode.db", db->first, db->second,
                                            UsageSource::opencode});
    }
}

// A set of 64-bit keys with open addressing: the cross-file dedup inserts one
// key per keyed response at every snapshot, so it must not allocate per key.
class KeySet {
  public:
    // True when `key` was not in the set yet.
    bool insert(std::uint64_t key) {
        if (key == 0) {
            return !std::exchange(hasZero_, true);
        }
        if ((count_ + 1) * 2 > slots_.size()) {
            grow();
        }
        if (!place(slots_, key)) {
            return false;
        }
        ++count_;
        return true;
    }

  private:
    static bool place(std::vector<std::uint64_t>& slots, std::uint64_t key) {
        std::size_t mask = slots.size() - 1;
        for (std::size_t i = (key * 0x9E3779B97F4A7C15ull) >> 20 & mask;; i = (i + 1) & mask) {
            if (slots[i] == key) {
                return false;
            }
            if (slots[i] == 0) {
                slots[i] = key;
                return true;
            }
        }
    }
    void grow() {
        std::vector<std::uint64_t> bigger(std::max<std::size_t>(1024, slots_.size() * 2), 0);
        for (std::uint64_t key : slots_) {
            if (key != 0) {
                place(bigger, key);
            }
        }
        slots_ = std::move(bigger);
    }

    std::vector<std::uint64_t> slots_;
    std::size_t count_ = 0;
    bool hasZero_ = false;
};

}  // namespace

UsageStore::UsageStore(const Clock& clock)
    : clock_(clock), cachePath_(usageCachePath()), window_(loadWindowTotal(cachePath_)) {
    (void)ensurePrivateDirectory(vorlaHome() + "/data");
}

std::vector<UsageStore::Candidate> UsageStore::candidates(WallTime cutoff) const {
    std::vector<Candidate> found;
    std::string home = homeDirectory();
    std::string projects = claudeConfigDir(home) + "/projects";
    Folder root(projects);
    for (const Entry& project : root.sortedEntries()) {
        // Only files directly inside a project folder (a link to a folder counts).
        std::string path = projects + "/" + project.name;
        Folder folder(path);
        for (const Entry& file : folder.sortedEntries()) {
            if (isTranscriptName(file.name)) {
                addIfRecent(found, folder, path, file.name, UsageSource::claude, cutoff);
            }
        }
    }
    collectCodex(codexHome(home) + "/sessions", cutoff, found);
    collectTwoDeep(geminiDir(home) + "/tmp", "/chats", UsageSource::gemini, cutoff, found,
                   [](std::string_view name) {
                       return name.starts_with("session-") && isTranscriptName(name);
                   });
    collectTwoDeep(copilotHome(home) + "/session-state", "", UsageSource::copilot, cutoff, found,
                   [](std::string_view name) { return name == "events.jsonl"; });
    collectTwoDeep(qwenHome(home) + "/projects", "/chats", UsageSource::qwen, cutoff, found,
                   isTranscriptName);
    addOpenCode(opencodeDataDir(home), cutoff, found);
    return found;
}

namespace {

// What one changed file contributes now; `before` is its cache entry, if any.
FileUsage scanFile(const UsageStore::Candidate& file, WallTime cutoff, const FileUsage* before) {
    FileUsage entry;
    entry.mtime = file.wholeSecondMtime();
    entry.size = file.size;
    AgentRecords::Scan scanned;
    switch (file.source) {
        case UsageSource::claude:
            scanned = TranscriptScan::claudeScan(file.path);
            break;
        case UsageSource::codex:
            entry.buckets = TranscriptScan::codexUsage(file.path);
            return entry;
        case UsageSource::gemini:
            scanned = AgentRecords::geminiUsage(file.path);
            break;
        case UsageSource::copilot:
            scanned = AgentRecords::copilotUsage(file.path);
            break;
        case UsageSource::qwen:
            scanned = AgentRecords::qwenUsage(file.path);
            break;
        case UsageSource::opencode:
            if (auto read = OpenCodeDB::usage(file.path, cutoff)) {
                entry.buckets = std::move(*read);
            } else {
                // Busy or damaged: keep what it said last time and read it
                // again at the next snapshot.
                if (before != nullptr) {
                    entry.buckets = before->buckets;
                }
                entry.mtime = WallTime{};
            }
            return entry;
    }
    entry.buckets = std::move(scanned.buckets);
    entry.keyed = std::move(scanned.keyed);
    return entry;
}

}  // namespace

void UsageStore::scan(const std::vector<const Candidate*>& queue, WallTime cutoff) {
    std::vector<FileUsage> results(queue.size());
    // Largest first, so one big transcript does not start last and leave the
    // other workers idle; results keep their queue positions.
    std::vector<std::size_t> order(queue.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return queue[a]->size > queue[b]->size; });
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < order.size(); i = next++) {
            const Candidate& file = *queue[order[i]];
            auto cached = cache_.find(file.path);
            results[order[i]] =
                scanFile(file, cutoff, cached == cache_.end() ? nullptr : &cached->second);
        }
    };
    std::size_t workers =
        std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, queue.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < workers; ++i) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer threads; this one still does its share
        }
    }
    work();
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (std::size_t i = 0; i < queue.size(); ++i) {
        cache_[queue[i]->path] = std::move(results[i]);
    }
    filesRead_ = queue.size();
}

UsageSnapshot UsageStore::snapshot(int days) {
    WallTime now = clock_.now();
    std::int64_t fileCount = 0;
    UsageBuckets total = collect(now, days, &fileCount);
    return build(total, fileCount, now);
}

UsageBuckets UsageStore::totals(int days, std::int64_t* fileCount) {
    return collect(clock_.now(), days, fileCount);
}

namespace {

// What the window key covers: every transcript's path, modification time
// (to the nanosecond) and size, in candidate order (which decides the
// repeats). A path holds no NUL, so the fields cannot run into each other;
// the numbers go in as their 8 bytes.
std::string transcriptsDigest(const std::vector<UsageStore::Candidate>& files) {
    Sha256 digest;
    for (const UsageStore::Candidate& file : files) {
        const std::array<std::int64_t, 2> numbers = {file.mtime.time_since_epoch().count(),
                                                     file.size};
        digest.add(file.path)
            .add(std::string_view("\0", 1))
            .add({reinterpret_cast<const char*>(numbers.data()), sizeof numbers});
    }
    return digest.hex();
}

}  // namespace

UsageBuckets UsageStore::collect(WallTime now, int days, std::int64_t* fileCount) {
    WallTime cutoff = now - days * kDay;
    std::vector<Candidate> files = candidates(cutoff);
    if (fileCount) {
        *fileCount = static_cast<std::int64_t>(files.size());
    }
    filesRead_ = 0;
    std::string transcripts = transcriptsDigest(files);
    if (window_ && window_->key == windowKey(transcripts, window_->total)) {
        return window_->total;
    }
    return collectFromEntries(files, cutoff, transcripts);
}

UsageBuckets UsageStore::collectFromEntries(const std::vector<Candidate>& files, WallTime cutoff,
                                            const std::string& transcripts) {
    if (!std::exchange(entriesLoaded_, true)) {
        if (auto loaded = loadUsageCache(cachePath_)) {
            cache_ = std::move(*loaded);
        }
    }
    std::vector<const Candidate*> queue;
    for (const Candidate& file : files) {
        auto cached = cache_.find(file.path);
        if (cached == cache_.end() || cached->second.mtime != file.wholeSecondMtime() ||
            cached->second.size != file.size) {
            queue.push_back(&file);
        }
    }
    if (!queue.empty()) {
        scan(queue, cutoff);
    }
    // Candidate order decides which copy of a repeated response counts: the
    // first. Copies in later files are taken back out of their file's share.
    UsageBuckets total;
    KeySet counted;
    bool settled = true;  // every entry stands for its file as it is now
    for (const Candidate& file : files) {
        const FileUsage& entry = cache_.at(file.path);
        settled = settled && entry.mtime == file.wholeSecondMtime() && entry.size == file.size;
        merge(total, entry.buckets);
        for (const auto& [day, models] : entry.keyed) {
            for (const auto& [model, responses] : models) {
                for (const TranscriptScan::KeyedResponse& response : responses) {
                    if (!counted.insert(response.key)) {
                        total[day][model] -= response.usage();
                    }
                }
            }
        }
    }
    // A transcript that left the window comes back only with a newer time,
    // which reads it again anyway: its entry would only grow the file.
    std::unordered_set<std::string_view> inWindow;
    for (const Candidate& file : files) {
        inWindow.insert(file.path);
    }
    bool pruned =
        std::erase_if(cache_, [&](const auto& item) { return !inWindow.contains(item.first); }) > 0;
    // A busy OpenCode database is read again next time, so its total is not
    // kept; with no transcript and no cache there is nothing worth a file.
    std::optional<WindowTotal> window;
    if (settled && (!files.empty() || window_ || pruned)) {
        window = WindowTotal{windowKey(transcripts, total), total};
    }
    if (!queue.empty() || pruned || (window && window != window_)) {
        window_ = std::move(window);
        (void)writeFileAtomically(cachePath_, encodeUsageCache(cache_, window_));
    }
    return total;
}

UsageSnapshot UsageStore::build(const UsageBuckets& total, std::int64_t fileCount, WallTime now) {
    UsageSnapshot snapshot;
    std::string todayKey = dayKey(now);
    // Calendar days, not 24-hour steps, so a daylight-saving change neither
    // skips a day nor counts one twice.
    std::vector<WallTime> weekDates;
    std::unordered_set<std::string> weekKeys;
    for (int i = 6; i >= 0; --i) {
        WallTime date = i == 0 ? now : addDays(now, -i);
        weekDates.push_back(date);
        weekKeys.insert(dayKey(date));
    }
    std::map<std::string, DayUsage> byModel;
    for (const auto& [day, models] : total) {
        bool isToday = day == todayKey;
        bool inWeek = weekKeys.contains(day);
        for (const auto& [model, usage] : models) {
            double cost = Pricing::cost(usage, model).value_or(0);
            if (isToday) {
                snapshot.today += usage;
                snapshot.todayCost += cost;
            }
            if (inWeek) {
                snapshot.week += usage;
                snapshot.weekCost += cost;
                byModel[model] += usage;
            }
        }
    }
    for (const auto& [model, usage] : byModel) {
        std::optional<double> cost = Pricing::cost(usage, model);
        if (!cost && usage.input + usage.output + usage.cacheWrite + usage.cacheRead > 0) {
            snapshot.unpricedModels.push_back(model);
        }
        if (model.starts_with('<') || model == "\u2014" || asciiLower(model) == "unknown") {
            continue;
        }
        snapshot.weekByModel.push_back({model, usage, cost.value_or(0), cost.has_value()});
    }
    std::stable_sort(snapshot.weekByModel.begin(), snapshot.weekByModel.end(),
                     [](const auto& a, const auto& b) { return a.usage.output > b.usage.output; });
    for (std::size_t i = 0; i < weekDates.size(); ++i) {
        UsageSnapshot::DayPoint point;
        point.day = dayKey(weekDates[i]);
        point.label = weekdayLabel(weekDates[i]);
        point.isToday = i + 1 == weekDates.size();
        if (auto found = total.find(point.day); found != total.end()) {
            for (const auto& [model, usage] : found->second) {
                point.output += usage.output;
                point.cost += Pricing::cost(usage, model).value_or(0);
            }
        }
        snapshot.daily.push_back(std::move(point));
    }
    snapshot.scannedFiles = fileCount;
    return snapshot;
}

namespace {
nlohmann::json usageJSON(const DayUsage& usage) {
    return {{"input", usage.input},
            {"output", usage.output},
            {"cacheWrite", usage.cacheWrite},
            {"cacheRead", usage.cacheRead},
            {"messages", usage.messages}};
}
}  // namespace

std::string encodeJSON(const UsageSnapshot& snapshot) {
    nlohmann::json byModel = nlohmann::json::array();
    for (const auto& entry : snapshot.weekByModel) {
        byModel.push_back({{"model", entry.model},
                           {"usage", usageJSON(entry.usage)},
                           {"cost", entry.priced ? nlohmann::json(entry.cost) : nullptr}});
    }
    nlohmann::json daily = nlohmann::json::array();
    for (const auto& point : snapshot.daily) {
        daily.push_back({{"day", point.day},
                         {"label", point.label},
                         {"output", point.output},
                         {"cost", point.cost},
                         {"isToday", point.isToday}});
    }
    nlohmann::json json = {{"today", usageJSON(snapshot.today)},
                           {"week", usageJSON(snapshot.week)},
                           {"todayCost", snapshot.todayCost},
                           {"weekCost", snapshot.weekCost},
                           {"weekByModel", byModel},
                           {"daily", daily},
                           {"scannedFiles", snapshot.scannedFiles},
                           {"unpricedModels", snapshot.unpricedModels}};
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace vorla
