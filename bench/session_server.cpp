// The event server and session store under load, over real Unix sockets.
//
// Ingest: K client threads each send non-gating event lines, one connection
// per event as the bridge does; the store publishes the snapshot after every
// change (one write per burst).
// Gates: 1,000 gating connections wait while new events arrive and the
// newest gate is decided.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <thread>
#include <vector>

#include "core/protocol.h"
#include "core/unix_socket.h"
#include "core/uuid.h"
#include "engine/session/server.h"
#include "engine/session/session_store.h"
#include "engine/session/state_snapshot.h"

namespace {

using namespace vorla;
using Clock = std::chrono::steady_clock;

// A private HOME, the main-thread loop and the engine on it.
class Engine {
  public:
    explicit Engine(bool snapshots = true) {
        std::string pattern = "/tmp/vorla-bench-XXXXXX";
        home_ = ::mkdtemp(pattern.data());
        ::setenv("HOME", home_.c_str(), 1);
        SessionStore::Options options;
        options.snapshotPath = snapshots ? "" : "/dev/null/state.json";  // unwritable: skipped
        store_ = std::make_unique<SessionStore>(queue_, SystemClock::shared(), options);
        server_ = std::make_unique<Server>(*store_, queue_);
        main_ = std::thread([this] { queue_.run(); });
        server_->start();
    }
    ~Engine() {
        server_.reset();
        queue_.quit();
        main_.join();
        std::filesystem::remove_all(home_);
    }
    // Waits until every task posted so far has run on the main thread.
    void settle() {
        std::promise<void> done;
        queue_.post([&] { done.set_value(); });
        done.get_future().wait();
    }
    template <typename F>
    auto onMain(F work) {
        std::promise<decltype(work())> result;
        queue_.post([&] { result.set_value(work()); });
        return result.get_future().get();
    }
    [[nodiscard]] const std::string& path() const { return server_->path(); }
    SessionStore& store() { return *store_; }

  private:
    std::string home_;
    LoopMainQueue queue_;
    std::unique_ptr<SessionStore> store_;
    std::unique_ptr<Server> server_;
    std::thread main_;
};

std::string eventLine(int session, bool gating, std::string* id = nullptr) {
    Event event;
    event.id = randomUUID();
    event.event = gating ? Canonical::permissionRequest : Canonical::postToolUse;
    event.rawEvent = gating ? "PermissionRequest" : "PostToolUse";
    event.gating = gating;
    event.sessionID = "session-" + std::to_string(session);
    event.cwd = "/work/project-" + std::to_string(session % 7);
    event.toolName = "Bash";
    event.toolInput = JSONValue(nlohmann::json{{"command", "npm test -- --grep slow"}});
    if (id != nullptr) {
        *id = event.id;
    }
    return encode(event);
}

// Connect, send, wait for the server to close: one bridge invocation.
double sendOne(const std::string& path, const std::string& line) {
    auto start = Clock::now();
    int fd = UnixSocket::connect(path);
    UnixSocket::writeLine(fd, line);
    (void)UnixSocket::readLine(fd, kMaxDecisionLineBytes);
    ::close(fd);
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(p * values.size()))];
}

double residentMB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kb = 0;
            status >> kb;
            return kb / 1024.0;
        }
    }
    return 0;
}

void ingest(benchmark::State& state, bool snapshots) {
    const int clients = static_cast<int>(state.range(0));
    const int perClient = 16000 / clients;
    for (auto _ : state) {
        Engine engine(snapshots);
        std::vector<std::vector<double>> latencies(clients);
        std::vector<std::thread> threads;
        auto start = Clock::now();
        for (int c = 0; c < clients; ++c) {
            threads.emplace_back([&, c] {
                for (int i = 0; i < perClient; ++i) {
                    latencies[c].push_back(
                        sendOne(engine.path(), eventLine(c * 50 + i % 50, false)));
                }
            });
        }
        for (auto& t : threads) {
            t.join();
        }
        engine.settle();  // every event applied and its snapshot written
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::vector<double> all;
        for (auto& l : latencies) {
            all.insert(all.end(), l.begin(), l.end());
        }
        state.SetIterationTime(seconds);
        state.counters["events_per_s"] = static_cast<double>(all.size()) / seconds;
        state.counters["p50_us"] = percentile(all, 0.50);
        state.counters["p99_us"] = percentile(all, 0.99);
        state.counters["sessions"] =
            static_cast<double>(engine.onMain([&] { return engine.store().sessions().size(); }));
    }
}

void BM_Ingest(benchmark::State& state) {
    ingest(state, true);
}
void BM_IngestWithoutSnapshot(benchmark::State& state) {
    ingest(state, false);
}
BENCHMARK(BM_Ingest)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->UseManualTime()->Iterations(1)->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_IngestWithoutSnapshot)
    ->Arg(4)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// One snapshot printed and written with 50 sessions, the size the 1-client
// ingest run reaches.
void BM_EmitState(benchmark::State& state) {
    Engine engine;
    for (int i = 0; i < 50; ++i) {
        sendOne(engine.path(), eventLine(i, false));
    }
    engine.settle();
    for (auto _ : state) {
        engine.onMain([&] {
            engine.store().emitState();
            engine.store().flushState();
            return 0;
        });
    }
}
BENCHMARK(BM_EmitState)->Unit(benchmark::kMicrosecond);

// The snapshot text with 1,000 gates and 1,000 sessions, the size a decision
// may queue behind in BM_ThousandGates.
void BM_SnapshotTextThousandGates(benchmark::State& state) {
    std::vector<std::shared_ptr<Session>> sessions;
    std::vector<std::shared_ptr<const Gate>> gates;
    const WallTime now = SystemClock::shared().now();
    for (int i = 0; i < 1000; ++i) {
        auto event = decodeEvent(eventLine(i, true));
        sessions.push_back(std::make_shared<Session>(*event->sessionID, Source::claude, *event->cwd,
                                                     SystemClock::shared()));
        auto gate = std::make_shared<Gate>();
        gate->id = event->id;
        gate->sessionID = *event->sessionID;
        gate->toolName = "Bash";
        gate->detail = "npm test -- --grep slow";
        gate->openedAt = now;
        gates.push_back(gate);
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = snapshotText(sessions, gates, now).size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_SnapshotTextThousandGates)->Unit(benchmark::kMicrosecond);

void BM_ThousandGates(benchmark::State& state) {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
    constexpr int kGates = 1000;
    for (auto _ : state) {
        Engine engine;
        std::map<std::string, int> waiting;  // gate id -> client descriptor
        for (int i = 0; i < kGates; ++i) {
            std::string id;
            int fd = UnixSocket::connect(engine.path());
            UnixSocket::writeLine(fd, eventLine(i, true, &id));
            waiting[id] = fd;
        }
        while (engine.onMain([&] { return engine.store().gates().size(); }) < kGates) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::vector<double> events;
        for (int i = 0; i < 300; ++i) {
            events.push_back(sendOne(engine.path(), eventLine(kGates + i, false)));
        }
        // Decide the newest gate, as the island or phone would, and time
        // until its client holds the decision line.
        std::vector<double> decisions;
        for (int i = 0; i < 100; ++i) {
            auto start = Clock::now();
            std::string id = engine.onMain([&] {
                std::string newest = engine.store().gates().back()->id;
                engine.store().resolveOnIsland(newest, Behavior::allow);
                return newest;
            });
            int fd = waiting.at(id);
            waiting.erase(id);
            (void)UnixSocket::readLine(fd, kMaxDecisionLineBytes);
            decisions.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            ::close(fd);
        }
        state.counters["event_p50_us"] = percentile(events, 0.50);
        state.counters["event_p99_us"] = percentile(events, 0.99);
        state.counters["decision_p50_us"] = percentile(decisions, 0.50);
        state.counters["decision_p99_us"] = percentile(decisions, 0.99);
        state.counters["rss_MB"] = residentMB();
        for (auto [id, fd] : waiting) {
            ::close(fd);
        }
    }
}
BENCHMARK(BM_ThousandGates)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
