// AuditLog::recent(days: 7) over seven day files of 5,000 entries each, as
// the Improve view calls it. Peer in the same run: the same files decoded
// line by line with nlohmann::json (the library used for our other files).
#include "engine/records/audit_log.h"

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "core/unique_fd.h"
#include "engine/support/atomic_file.h"
#include "engine/support/calendar.h"

namespace {

class FixedClock final : public vorla::Clock {
  public:
    explicit FixedClock(vorla::WallTime now) : now_(now) {}
    [[nodiscard]] vorla::WallTime now() const override { return now_; }
    [[nodiscard]] vorla::SteadyTime steadyNow() const override { return {}; }

  private:
    vorla::WallTime now_;
};

// Seven day files of realistic lines in a fresh folder; removed at exit.
struct History {
    History() {
        char pattern[] = "/tmp/vorla-bench-audit-XXXXXX";
        directory = ::mkdtemp(pattern);
        const char* kinds[] = {"tool", "tool", "tool", "approved", "auto-allowed", "denied"};
        const char* details[] = {"npm test -- --watch=false", "/home/dev/app/src/main.ts",
                                 "git status --short", "rg 'TODO' src/ -n",
                                 "python3 -m pytest -q tests/test_api.py::test_login"};
        for (int day = 0; day < 7; ++day) {
            std::string text;
            vorla::WallTime dayStart =
                vorla::startOfDay(clock.now() - std::chrono::hours(24 * day));
            for (int i = 0; i < 5000; ++i) {
                vorla::AuditEntry entry{dayStart + std::chrono::seconds(i * 15),
                                        "claude",
                                        "7f3c2a9e-" + std::to_string(i % 40),
                                        "vorla-agents",
                                        vorla::AuditKind::tool,
                                        i % 2 ? "Bash" : "Edit",
                                        details[i % 5],
                                        i % 6 >= 3 ? std::optional<int>(i % 4) : std::nullopt};
                entry.setKind(kinds[i % 6]);
                text += vorla::encodeAuditLine(entry) + "\n";
            }
            (void)vorla::writeFileAtomically(directory + "/" + vorla::dayKey(dayStart) + ".jsonl",
                                             text);
        }
    }
    ~History() { std::filesystem::remove_all(directory); }

    FixedClock clock{vorla::WallTime(std::chrono::seconds(1765000000))};
    std::string directory;
};

History& history() {
    static History instance;
    return instance;
}

void BM_Recent7Days(benchmark::State& state) {
    vorla::AuditLog log(history().clock, history().directory);
    std::size_t count = 0;
    for (auto _ : state) {
        count = log.recent(7).size();
        benchmark::DoNotOptimize(count);
    }
    state.counters["entries"] = static_cast<double>(count);
}
BENCHMARK(BM_Recent7Days)->Unit(benchmark::kMillisecond);

void BM_PeerNlohmannDecode7Days(benchmark::State& state) {
    std::vector<std::string> files;
    for (const auto& item : std::filesystem::directory_iterator(history().directory)) {
        files.push_back(item.path());
    }
    std::size_t count = 0;
    for (auto _ : state) {
        count = 0;
        for (const auto& file : files) {
            std::string text = *vorla::readFile(file);
            std::size_t start = 0;
            while (start < text.size()) {
                std::size_t end = text.find('\n', start);
                auto json =
                    nlohmann::json::parse(text.begin() + static_cast<long>(start),
                                          text.begin() + static_cast<long>(end), nullptr, false);
                vorla::AuditEntry entry{*vorla::parseISO8601(json["ts"].get<std::string>()),
                                        json["agent"],
                                        json["sessionID"],
                                        json["project"],
                                        vorla::AuditKind::tool,
                                        json["tool"],
                                        json["detail"],
                                        std::nullopt};
                entry.setKind(json["kind"].get<std::string>());
                benchmark::DoNotOptimize(entry);
                ++count;
                start = end + 1;
            }
        }
    }
    state.counters["entries"] = static_cast<double>(count);
}
BENCHMARK(BM_PeerNlohmannDecode7Days)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
