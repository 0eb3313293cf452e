// Diff peek on a repository with 5,000 changed files: git's numstat output is
// far larger than a pipe holds, so it must be read while git runs.
#include "engine/repo/diff_peek.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/repo/shell.h"

namespace {

constexpr int kFiles = 5000;

void git(const std::string& repo, std::vector<std::string> arguments) {
    std::vector<std::string> full = {"-c", "user.name=Bench", "-c", "user.email=bench@example.com"};
    full.insert(full.end(), arguments.begin(), arguments.end());
    (void)vorla::Shell::execute("git", full, repo, 120);
}

void writeFiles(const std::string& repo, const std::string& line) {
    for (int i = 0; i < kFiles; ++i) {
        std::string folder = repo + "/src/module-" + std::to_string(i % 100);
        std::filesystem::create_directories(folder);
        std::ofstream(folder + "/file-with-a-longish-name-" + std::to_string(i) + ".txt")
            << line << "\n"
            << i << "\n";
    }
}

std::string makeRepository() {
    char pattern[] = "/tmp/vorla-bench-diff-XXXXXX";
    std::string home = mkdtemp(pattern);
    static std::string removeAtExit = home;
    std::atexit([] { std::filesystem::remove_all(removeAtExit); });
    setenv("HOME", home.c_str(), 1);
    std::string repo = home + "/repo";
    std::filesystem::create_directories(repo);
    git(repo, {"init", "-q"});
    writeFiles(repo, "before");
    git(repo, {"add", "-A"});
    git(repo, {"commit", "-q", "-m", "base"});
    // A working repository keeps its history packed (git gc runs on its own);
    // 5,000 fresh loose objects would measure git's object store instead.
    git(repo, {"gc", "-q"});
    writeFiles(repo, "after");
    return repo;
}

void BM_DiffPeek5000ChangedFiles(benchmark::State& state) {
    static const std::string repo = makeRepository();
    for (auto _ : state) {
        vorla::DiffPeek peek = vorla::DiffPeek::load(repo);
        if (peek.files.size() != kFiles) {
            state.SkipWithError("the peek did not list every changed file");
        }
        benchmark::DoNotOptimize(peek);
    }
}
BENCHMARK(BM_DiffPeek5000ChangedFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
