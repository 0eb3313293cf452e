// Times whole hook processes against one in-process listener on the socket of
// a temporary HOME: vorla-bridge beside the peers a hook could be written in.
// Runs alternate between programs so that machine noise hits all alike.
//
// Usage: bridge_bench <vorla-bridge> <min_client> <maxrss> [runs]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/paths.h"
#include "core/protocol.h"
#include "core/unix_socket.h"

extern char** environ;

namespace {

struct Sample {
    double ms;
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

Sample runOnce(const Program& program) {
    auto start = std::chrono::steady_clock::now();
    pid_t pid = spawn(program.argv, program.stdinFile);
    int status = 0;
    ::waitpid(pid, &status, 0);
    auto end = std::chrono::steady_clock::now();
    return {std::chrono::duration<double, std::milli>(end - start).count()};
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

// Accepts connections one at a time, decodes each line as the application
// would, and answers gating events with an allow at once.
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
    std::size_t received() const { return received_; }

  private:
    void serve() {
        for (;;) {
            int client = ::accept(fd_, nullptr, nullptr);
            if (client < 0) {
                return;
            }
            try {
                if (auto line = vorla::UnixSocket::readLine(client)) {
                    auto event = vorla::decodeEvent(*line);
                    if (event) {
                        ++received_;
                    }
                    if (event && event->gating) {
                        vorla::UnixSocket::writeLine(client, R"({"behavior":"allow"})");
                    }
                }
            } catch (const vorla::UnixSocket::Error&) {
            }
            ::close(client);
        }
    }
    int fd_;
    std::atomic<std::size_t> received_{0};
    std::thread thread_;
};

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

void report(const std::vector<Program*>& programs, const Program& reference) {
    std::vector<double> refMs;
    for (const auto& s : reference.samples)
        refMs.push_back(s.ms);
    double refMedian = percentile(refMs, 0.5);
    std::printf("| %-34s | %5s | %9s | %9s | %12s | %14s |\n", "program", "runs", "median ms",
                "p90 ms", "peak RSS MB", "ratio to C");
    std::printf("|%s|%s|%s|%s|%s|%s|\n", std::string(36, '-').c_str(), std::string(7, '-').c_str(),
                std::string(11, '-').c_str(), std::string(11, '-').c_str(),
                std::string(14, '-').c_str(), std::string(16, '-').c_str());
    for (Program* program : programs) {
        std::vector<double> ms;
        for (const auto& s : program->samples) {
            ms.push_back(s.ms);
        }
        long rss = program->maxRssKb;
        double median = percentile(ms, 0.5);
        std::printf("| %-34s | %5zu | %9.3f | %9.3f | %12.1f | %14.2f |\n", program->label.c_str(),
                    ms.size(), median, percentile(ms, 0.9), static_cast<double>(rss) / 1024.0,
                    median / refMedian);
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
        runOnce(*p);  // warm the page cache
    }
    for (int i = 0; i < runs; ++i) {
        for (Program* p : alternating) {
            p->samples.push_back(runOnce(*p));
        }
        // Interpreters are 20-80x slower: one run in ten keeps the total short.
        if (i % 10 == 0) {
            python.samples.push_back(runOnce(python));
            node.samples.push_back(runOnce(node));
        }
    }
    for (Program* p : {&cClient, &vorla, &roundTrip, &megabyte, &cMegabyte, &python, &node}) {
        for (int i = 0; i < 5; ++i) {
            p->maxRssKb = std::max(p->maxRssKb, peakRssKb(*p, launcher, home + "/rss.txt"));
        }
    }
    report({&cClient, &vorla, &roundTrip, &megabyte, &cMegabyte, &python, &node}, cClient);
    std::printf("\nlistener decoded %zu events\n", listener.received());
    std::filesystem::remove_all(home);
    return 0;
}
