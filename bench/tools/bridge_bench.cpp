// Times whole hook processes against one in-process listener on the socket of
// a temporary HOME: vorla-bridge beside the peers a hook could be written in.
// Runs alternate between programs, in a new random order each round, so that
// machine noise hits all alike, and
// each run starts only once the listener has finished with the one before,
// so no run pays for another's decoding.
//
// Usage: bridge_bench <vorla-bridge> <min_client> <maxrss> [runs]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/paths.h"
#include "core/protocol.h"
#include "core/unix_socket.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Sample {
    double ms;          // spawn to exit: what the agent waits for
    double endToEndMs;  // spawn to the listener holding the decoded event
};

struct Program {
    std::string label;
    std::vector<std::string> argv;
    std::string stdinFile;
    int runsPerRound;  // slow interpreters get fewer runs
    std::vector<Sample> samples;
    long maxRssKb = 0;
};

// Spawns the program with its payload file as stdin; returns the pid. With a
// non-empty `errFile`, the child's stderr goes there.
pid_t spawn(const std::vector<std::string>& args, const std::string& stdinFile,
            const std::string& errFile = "") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, stdinFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (!errFile.empty()) {
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    }
    std::vector<char*> argv;
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

double millis(Clock::duration span) {
    return std::chrono::duration<double, std::milli>(span).count();
}

// Peak RSS through the tiny static launcher (see peers/maxrss.c).
long peakRssKb(const Program& program, const std::string& launcher, const std::string& scratch) {
    std::vector<std::string> args = {launcher};
    args.insert(args.end(), program.argv.begin(), program.argv.end());
    int status = 0;
    ::waitpid(spawn(args, program.stdinFile, scratch), &status, 0);
    std::ifstream in(scratch);
    long kb = 0;
    in >> kb;
    return kb;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

// Accepts connections one at a time, decodes each line with the
// application's decoder, and answers gating events with an allow at once.
class Listener {
  public:
    explicit Listener(const std::string& path) : fd_(vorla::UnixSocket::listen(path, 128)) {
        thread_ = std::thread([this] { serve(); });
    }
    ~Listener() {
        ::shutdown(fd_, SHUT_RDWR);
        thread_.join();
        ::close(fd_);
    }
    std::size_t handled() {
        std::lock_guard lock(mutex_);
        return handled_;
    }
    std::size_t decoded() {
        std::lock_guard lock(mutex_);
        return decoded_;
    }
    // Waits until `count` connections are done; returns when the last ended.
    Clock::time_point waitHandled(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(5), [&] { return handled_ >= count; });
        return lastDone_;
    }

  private:
    void serve() {
        for (;;) {
            int client = ::accept(fd_, nullptr, nullptr);
            if (client < 0) {
                return;
            }
            bool decodedOne = false;
            try {
                if (auto line = vorla::UnixSocket::readLine(client, vorla::kMaxEventLineBytes)) {
                    auto event = vorla::decodeEvent(std::move(*line));
                    decodedOne = event.has_value();
                    if (event && event->gating) {
                        vorla::UnixSocket::writeLine(client, R"({"behavior":"allow"})");
                    }
                }
            } catch (const vorla::UnixSocket::Error&) {
            }
            ::close(client);
            std::lock_guard lock(mutex_);
            ++handled_;
            decoded_ += decodedOne ? 1 : 0;
            lastDone_ = Clock::now();
            changed_.notify_all();
        }
    }
    int fd_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t handled_ = 0;
    std::size_t decoded_ = 0;
    Clock::time_point lastDone_;
    std::thread thread_;
};

// One run; every program here makes exactly one connection.
Sample runOnce(const Program& program, Listener& listener) {
    const std::size_t before = listener.handled();
    auto start = Clock::now();
    pid_t pid = spawn(program.argv, program.stdinFile);
    int status = 0;
    ::waitpid(pid, &status, 0);
    auto exited = Clock::now();
    auto done = listener.waitHandled(before + 1);
    return {millis(exited - start), millis(std::max(exited, done) - start)};
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<double> column(const Program& program, double Sample::*field) {
    std::vector<double> values;
    for (const auto& sample : program.samples) {
        values.push_back(sample.*field);
    }
    return values;
}

void report(const std::vector<Program*>& programs, const Program& reference) {
    const double refMedian = percentile(column(reference, &Sample::ms), 0.5);
    std::printf("| %-34s | %5s | %9s | %9s | %13s | %11s | %10s |\n", "program", "runs",
                "median ms", "p90 ms", "end to end ms", "peak RSS MB", "ratio to C");
    std::printf("|%s|%s|%s|%s|%s|%s|%s|\n", std::string(36, '-').c_str(),
                std::string(7, '-').c_str(), std::string(11, '-').c_str(),
                std::string(11, '-').c_str(), std::string(15, '-').c_str(),
                std::string(13, '-').c_str(), std::string(12, '-').c_str());
    for (Program* program : programs) {
        const auto ms = column(*program, &Sample::ms);
        const double median = percentile(ms, 0.5);
        std::printf("| %-34s | %5zu | %9.3f | %9.3f | %13.3f | %11.1f | %10.2f |\n",
                    program->label.c_str(), ms.size(), median, percentile(ms, 0.9),
                    percentile(column(*program, &Sample::endToEndMs), 0.5),
                    static_cast<double>(program->maxRssKb) / 1024.0, median / refMedian);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <vorla-bridge> <min_client> <maxrss> [runs]\n", argv[0]);
        return 2;
    }
    const std::string bridge = argv[1];
    const std::string client = argv[2];
    const std::string launcher = argv[3];
    const int runs = argc > 4 ? std::atoi(argv[4]) : 300;
    const std::string peers = std::string(VORLA_BENCH_DIR) + "/peers";

    char pattern[] = "/tmp/vorla-bench-XXXXXX";
    const std::string home = ::mkdtemp(pattern);
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("GROK_HOOK_EVENT");
    ::unsetenv("GROK_SESSION_ID");
    Listener listener(vorla::socketPath());

    const std::string small = home + "/post.json";
    writeFile(small,
              R"({"hook_event_name":"PostToolUse","session_id":"bench","cwd":"/home/me/app",)"
              R"("tool_name":"Bash","tool_input":{"command":"npm test -- --watch=false"},)"
              R"("transcript_path":"/home/me/.claude/projects/app/bench.jsonl"})");
    const std::string gating = home + "/permission.json";
    writeFile(gating, R"({"hook_event_name":"PermissionRequest","session_id":"bench",)"
                      R"("tool_name":"Bash","tool_input":{"command":"rm -rf build"}})");
    const std::string big = home + "/write.json";
    writeFile(big, R"({"hook_event_name":"PostToolUse","session_id":"bench","tool_name":"Write",)"
                   R"("tool_input":{"file_path":"/home/me/app/big.txt","content":")" +
                       std::string(1 << 20, 'x') + "\"}}");

    Program cClient{"minimal static C client", {client}, small, 1, {}};
    Program vorla{"vorla-bridge, non-gating", {bridge, "--source", "claude"}, small, 1, {}};
    Program python{
        "Python hook (/usr/bin/python3)", {"/usr/bin/python3", peers + "/hook.py"}, small, 0, {}};
    Program node{"Node hook (node)", {"node", peers + "/hook.js"}, small, 0, {}};
    Program roundTrip{
        "vorla-bridge, gating round trip", {bridge, "--source", "claude"}, gating, 1, {}};
    Program megabyte{"vorla-bridge, 1 MB toolInput", {bridge, "--source", "claude"}, big, 1, {}};
    Program cMegabyte{"minimal C client, 1 MB toolInput", {client}, big, 1, {}};

    std::vector<Program*> alternating = {&cClient, &vorla, &roundTrip, &megabyte, &cMegabyte};
    for (Program* p : alternating) {
        runOnce(*p, listener);  // warm the page cache
    }
    // A fresh order every round: a program run right after itself finds more
    // of the kernel's exec path warm, and a fixed order would favour some.
    std::mt19937 random(42);
    for (int i = 0; i < runs; ++i) {
        std::shuffle(alternating.begin(), alternating.end(), random);
        for (Program* p : alternating) {
            p->samples.push_back(runOnce(*p, listener));
        }
        // Interpreters are 20-80x slower: one run in ten keeps the total short.
        if (i % 10 == 0) {
            python.samples.push_back(runOnce(python, listener));
            node.samples.push_back(runOnce(node, listener));
        }
    }
    for (Program* p : {&cClient, &vorla, &roundTrip, &megabyte, &cMegabyte, &python, &node}) {
        for (int i = 0; i < 5; ++i) {
            p->maxRssKb = std::max(p->maxRssKb, peakRssKb(*p, launcher, home + "/rss.txt"));
        }
    }
    report({&cClient, &vorla, &roundTrip, &megabyte, &cMegabyte, &python, &node}, cClient);
    std::printf(
        "\nlistener: %zu connections, %zu decoded events; end to end = spawn until the"
        " listener has decoded the line (and answered, for the gating run)\n",
        listener.handled(), listener.decoded());
    std::filesystem::remove_all(home);
    return 0;
}
