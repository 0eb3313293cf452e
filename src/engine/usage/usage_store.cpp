#include "engine/usage/usage_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <numeric>
#include <thread>
#include <unordered_set>

#include "core/paths.h"
#include "engine/support/atomic_file.h"
#include "engine/support/calendar.h"
#include "engine/usage/pricing.h"

namespace vorla {

namespace fs = std::filesystem;

struct UsageStore::Candidate {
    std::string path;
    WallTime mtime;  // full precision
    std::int64_t size = 0;
    bool claude = true;

    [[nodiscard]] WallTime wholeSecondMtime() const {
        return std::chrono::floor<std::chrono::seconds>(mtime);
    }
};

namespace {

constexpr auto kDay = std::chrono::seconds(86400);

bool isTranscriptName(const fs::path& path) {
    return path.extension() == ".jsonl";
}

// Modification time and size of a regular file; nullopt otherwise.
std::optional<std::pair<WallTime, std::int64_t>> fileStamp(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    auto since =
        std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec);
    return std::pair{WallTime(std::chrono::duration_cast<WallTime::duration>(since)),
                     static_cast<std::int64_t>(info.st_size)};
}

// Entries of one folder, sorted so the order (and so which copy of a repeated
// response is counted) does not depend on the file system.
std::vector<fs::path> sortedEntries(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        entries.push_back(it->path());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

void addIfRecent(std::vector<UsageStore::Candidate>& out, const std::string& path, bool claude,
                 WallTime cutoff) {
    auto stamp = fileStamp(path);
    if (stamp && stamp->first > cutoff) {
        out.push_back(UsageStore::Candidate{path, stamp->first, stamp->second, claude});
    }
}
}  // namespace

UsageStore::UsageStore(const Clock& clock) : clock_(clock), cachePath_(usageCachePath()) {
    (void)ensurePrivateDirectory(vorlaHome() + "/data");
    if (auto text = readFile(cachePath_)) {
        if (auto decoded = decodeUsageCache(*text)) {
            cache_ = std::move(*decoded);
        }
    }
}

std::vector<UsageStore::Candidate> UsageStore::candidates(WallTime cutoff) const {
    std::vector<Candidate> found;
    std::string home = homeDirectory();
    for (const fs::path& project : sortedEntries(home + "/.claude/projects")) {
        for (const fs::path& file : sortedEntries(project)) {
            if (isTranscriptName(file)) {
                addIfRecent(found, file.string(), true, cutoff);
            }
        }
    }
    std::vector<std::string> codex;
    std::error_code error;
    fs::recursive_directory_iterator it(home + "/.codex/sessions",
                                        fs::directory_options::skip_permission_denied, error);
    for (fs::recursive_directory_iterator end; !error && it != end; it.increment(error)) {
        if (isTranscriptName(it->path())) {
            codex.push_back(it->path().string());
        }
    }
    std::sort(codex.begin(), codex.end());
    for (const std::string& path : codex) {
        addIfRecent(found, path, false, cutoff);
    }
    return found;
}

void UsageStore::scan(const std::vector<const Candidate*>& queue) {
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
            FileUsage& entry = results[order[i]];
            entry.mtime = file.wholeSecondMtime();
            entry.size = file.size;
            if (file.claude) {
                TranscriptScan::ClaudeScan scanned = TranscriptScan::claudeScan(file.path);
                entry.buckets = std::move(scanned.buckets);
                entry.keyed = std::move(scanned.keyed);
            } else {
                entry.buckets = TranscriptScan::codexUsage(file.path);
            }
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
    std::vector<Candidate> files = candidates(now - days * kDay);
    std::vector<const Candidate*> queue;
    for (const Candidate& file : files) {
        auto cached = cache_.find(file.path);
        if (cached == cache_.end() || cached->second.mtime != file.wholeSecondMtime() ||
            cached->second.size != file.size) {
            queue.push_back(&file);
        }
    }
    filesRead_ = 0;
    if (!queue.empty()) {
        scan(queue);
        (void)writeFileAtomically(cachePath_, encodeUsageCache(cache_));
    }
    // Candidate order decides which copy of a repeated response counts: the
    // first. Copies in later files are taken back out of their file's share.
    UsageBuckets total;
    std::unordered_set<std::uint64_t> counted;
    for (const Candidate& file : files) {
        const FileUsage& entry = cache_.at(file.path);
        merge(total, entry.buckets);
        for (const auto& [day, models] : entry.keyed) {
            for (const auto& [model, responses] : models) {
                for (const TranscriptScan::KeyedResponse& response : responses) {
                    if (!counted.insert(response.key).second) {
                        total[day][model] -= response.usage();
                    }
                }
            }
        }
    }
    return build(total, static_cast<std::int64_t>(files.size()), now);
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
            double cost = Pricing::cost(usage, model);
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
        if (model.starts_with('<') || model == "\u2014" || asciiLowercase(model) == "unknown") {
            continue;
        }
        snapshot.weekByModel.push_back({model, usage, Pricing::cost(usage, model)});
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
                point.cost += Pricing::cost(usage, model);
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
        byModel.push_back(
            {{"model", entry.model}, {"usage", usageJSON(entry.usage)}, {"cost", entry.cost}});
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
                           {"scannedFiles", snapshot.scannedFiles}};
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace vorla
