// Warm usage snapshot: 2,000 transcripts already in the cache, nothing
// changed, so the snapshot reads the cache and lists the folders but no
// transcript. The data set is written once into a temporary HOME.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/usage/usage_store.h"

namespace {

constexpr int kFiles = 2000;
constexpr int kResponsesPerFile = 25;

std::string makeHome() {
    char pattern[] = "/tmp/vorla-bench-usage-XXXXXX";
    std::string home = mkdtemp(pattern);
    static std::string removeAtExit = home;
    std::atexit([] { std::filesystem::remove_all(removeAtExit); });
    for (int f = 0; f < kFiles; ++f) {
        std::string folder = home + "/.claude/projects/project-" + std::to_string(f % 50);
        std::filesystem::create_directories(folder);
        std::ofstream out(folder + "/session-" + std::to_string(f) + ".jsonl");
        for (int r = 0; r < kResponsesPerFile; ++r) {
            std::string id = std::to_string(f) + "-" + std::to_string(r);
            out << R"({"type":"assistant","timestamp":"2030-01-0)" << 1 + r % 5
                << R"(T10:00:00Z","requestId":"req_)" << id << R"(","message":{"id":"msg_)" << id
                << R"(","model":"claude-sonnet-4-5","usage":{"input_tokens":3,"output_tokens":)"
                << 100 + r
                << R"(,"cache_creation_input_tokens":1200,"cache_read_input_tokens":45000}}})"
                << "\n";
        }
    }
    return home;
}

void BM_WarmSnapshot2000Files(benchmark::State& state) {
    static const std::string home = makeHome();
    setenv("HOME", home.c_str(), 1);
    {
        vorla::UsageStore first;
        (void)first.snapshot(7);
    }  // fills the cache
    for (auto _ : state) {
        vorla::UsageStore store;
        vorla::UsageSnapshot snapshot = store.snapshot(7);
        if (store.filesRead() != 0 || snapshot.scannedFiles != kFiles) {
            state.SkipWithError("the warm snapshot read transcripts");
        }
        benchmark::DoNotOptimize(snapshot);
    }
}
BENCHMARK(BM_WarmSnapshot2000Files)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
