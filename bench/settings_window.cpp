// The settings window over real engine stores and a HOME filled with a
// working day (scripts/settings_seed.py): opening it until its first page is
// painted, switching tabs until the new page is painted, the memory the open
// window adds, and how late the interface thread runs a 5 ms timer while the
// Usage page reads a large transcript corpus (bench/gen_transcripts.py).
//
// Usage: settings_window [--corpus-mb=N] [Google Benchmark flags]
// Runs on $DISPLAY (e.g. under xvfb-run) or offscreen without one. The
// corpus is written once into bench/data/settings-<N>mb and kept.
#include "ui/settings/settings_window.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/protocol.h"
#include "engine/installer/installer.h"
#include "engine/phone/remote_approval.h"
#include "engine/policy/prefs.h"
#include "engine/policy/rule_store.h"
#include "engine/records/audit_log.h"
#include "engine/records/game.h"
#include "engine/session/session_store.h"
#include "engine/support/calendar.h"
#include "engine/support/clock.h"
#include "ui/desktop/qt_main_queue.h"
#include "ui/settings/page.h"

namespace {

using namespace vorla;
namespace fs = std::filesystem;

// Resident memory of this process in MB.
double rssMB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

void run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "settings_window: failed: %s\n", command.c_str());
        std::exit(1);
    }
}

// The interface thread's own CPU time, in ms: wall time on a busy machine
// also counts other programs' turns.
double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Notes when the paint that first reached a widget or any of its children
// was done and handed to the window system: a marker posted below the
// paint's own priority runs once that paint and flush have returned. Work the
// page started (a git scan, a transcript read) and the repaint its result
// brings later are not the switch's time.
class PaintWatch final : public QObject {
  public:
    explicit PaintWatch(QWidget* target) : target_(target) { qApp->installEventFilter(this); }
    ~PaintWatch() override { qApp->removeEventFilter(this); }
    // Runs the event loop until the target has painted.
    void wait() {
        while (!done_) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
    // When that paint was done: milliseconds since `start`, and the thread's CPU.
    [[nodiscard]] double msSince(std::chrono::steady_clock::time_point start) const {
        return std::chrono::duration<double, std::milli>(paintedAt_ - start).count();
    }
    [[nodiscard]] double cpuMs() const { return paintedCpuMs_; }

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (!painted_ && event->type() == QEvent::Paint && object->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(object);
            if (widget == target_ || target_->isAncestorOf(widget)) {
                painted_ = true;
                QCoreApplication::postEvent(this, new QEvent(QEvent::User),
                                            Qt::LowEventPriority - 1);
            }
        }
        return false;
    }
    bool event(QEvent* event) override {
        if (event->type() != QEvent::User) {
            return QObject::event(event);
        }
        paintedAt_ = std::chrono::steady_clock::now();
        paintedCpuMs_ = threadCpuMs();
        done_ = true;
        return true;
    }

  private:
    QWidget* target_;
    bool painted_ = false;
    bool done_ = false;
    std::chrono::steady_clock::time_point paintedAt_;
    double paintedCpuMs_ = 0;
};

void settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

bool showsText(QWidget* root, const QString& text) {
    for (QLabel* label : root->findChildren<QLabel*>()) {
        if (label->text() == text && label->isVisible()) {
            return true;
        }
    }
    return false;
}

// The application's long-lived stores over the seeded HOME, with the four
// sessions of the seeded day live.
struct Engine {
    explicit Engine(const std::string& home)
        : rules(clock, home + "/.vorla-agents/data/rules.json"),
          auditLog(clock, home + "/.vorla-agents/audit"),
          game(clock, home + "/.vorla-agents/data/game.json"),
          installer(home, {}, clock),
          context{store,
                  installer,
                  prefs,
                  rules,
                  auditLog,
                  remote,
                  game,
                  clock,
                  [](const std::string&) {},
                  [](const std::string&) {},
                  {}} {
        const struct {
            const char* id;
            Source source;
            const char* folder;
        } sessions[] = {{"c1", Source::claude, "shop-checkout"},
                        {"c2", Source::claude, "shop-search"},
                        {"x1", Source::codex, "api"},
                        {"g1", Source::grok, "docs"}};
        for (const auto& s : sessions) {
            Event event;
            event.id = std::string(s.id) + "-start";
            event.source = s.source;
            event.event = Canonical::sessionStart;
            event.rawEvent = "SessionStart";
            event.sessionID = s.id;
            event.cwd = home + "/code/" + s.folder;
            event.ts = toEpochSeconds(clock.now());
            store.apply(event);
        }
    }

    SystemClock& clock = SystemClock::shared();
    ui::QtMainQueue queue;
    SessionStore store{queue, clock};
    MemoryPreferencesStore preferences;
    Prefs prefs{preferences};
    RuleStore rules;
    AuditLog auditLog;
    Game game;
    Installer installer;
    RemoteApproval remote{queue, 0};
    ui::SettingsContext context;
};

Engine* engine = nullptr;

// A new window on `tab`, shown and painted; milliseconds taken.
double openPainted(std::unique_ptr<ui::SettingsWindow>& window, ui::SettingsTab tab) {
    const auto start = std::chrono::steady_clock::now();
    window = std::make_unique<ui::SettingsWindow>(engine->context, tab);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    PaintWatch watch(window->page(tab));
    window->show();
    watch.wait();
    return watch.msSince(start);
}

double lastSwitchCpuMs = 0;

// Chooses `tab` and waits for its page's paint; milliseconds taken.
double switchPainted(ui::SettingsWindow& window, ui::SettingsTab tab) {
    if (window.tab() == tab) {
        return 0;  // nothing to paint
    }
    const double cpu = threadCpuMs();
    const auto start = std::chrono::steady_clock::now();
    window.select(tab);
    PaintWatch watch(window.page(tab));
    watch.wait();
    lastSwitchCpuMs = watch.cpuMs() - cpu;
    return watch.msSince(start);
}

void BM_OpenToPainted(benchmark::State& state) {
    for (auto _ : state) {
        std::unique_ptr<ui::SettingsWindow> window;
        state.SetIterationTime(openPainted(window, ui::SettingsTab::agents) / 1e3);
        window.reset();
        settle();
    }
}

// A tab's first visit builds its page; later visits only show it.
void BM_SwitchTab(benchmark::State& state, ui::SettingsTab tab, bool firstVisit) {
    std::unique_ptr<ui::SettingsWindow> window;
    double cpu = 0;
    for (auto _ : state) {
        if (firstVisit || !window) {
            window.reset();
            settle();
            openPainted(window, tab == ui::SettingsTab::agents ? ui::SettingsTab::rules
                                                               : ui::SettingsTab::agents);
            if (!firstVisit) {
                switchPainted(*window, tab);
            }
        }
        switchPainted(*window, tab == ui::SettingsTab::agents ? ui::SettingsTab::rules
                                                              : ui::SettingsTab::agents);
        settle();
        state.SetIterationTime(switchPainted(*window, tab) / 1e3);
        cpu += lastSwitchCpuMs;
        state.PauseTiming();
        settle();
        state.ResumeTiming();
    }
    state.counters["ui_cpu_ms"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
    window.reset();
    settle();
}

// The memory an open window adds: opened, every tab visited and loaded.
void memoryFigures() {
    settle();
    const double before = rssMB();
    std::unique_ptr<ui::SettingsWindow> window;
    const double firstOpen = openPainted(window, ui::SettingsTab::agents);
    for (ui::SettingsTab tab : ui::kSettingsTabs) {
        switchPainted(*window, tab);
        const QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() &&
               (showsText(window.get(), QStringLiteral("Reading transcripts…")) ||
                showsText(window.get(), QStringLiteral("Looking for worktrees…")) ||
                showsText(window.get(), QStringLiteral("Looking for context files…")) ||
                showsText(window.get(), QStringLiteral("Reading the last 7 days…")))) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
    settle();
    const double open = rssMB();
    window.reset();
    settle();
    const double closed = rssMB();
    std::printf(
        "first open of the window, cold, to painted: %.1f ms\n"
        "RSS: %.1f MB before, %.1f MB with the window open and all ten tabs visited "
        "(+%.1f MB), %.1f MB after closing it\n",
        firstOpen, before, open, open - before, closed);
}

// A 5 ms timer on the interface thread, its lateness recorded while `busy`
// holds; per interval also the CPU time the interface thread itself spent:
// a late tick with little of it waited for a core, not for our code.
struct Lateness {
    std::vector<double> late;
    std::vector<double> cpu;
    double ms = 0;

    void print(const char* what) {
        if (late.size() < 2) {
            std::printf("%s: too short to measure (%.0f ms)\n", what, ms);
            return;
        }
        late.erase(late.begin());  // the first interval holds the start itself
        cpu.erase(cpu.begin());
        std::sort(late.begin(), late.end());
        std::sort(cpu.begin(), cpu.end());
        std::printf(
            "%s: %.0f ms; 5 ms timer fired %zu times, lateness median %.2f ms, p99 %.2f ms, "
            "max %.2f ms; interface thread CPU per interval max %.2f ms\n",
            what, ms, late.size(), late[late.size() / 2], late[late.size() * 99 / 100], late.back(),
            cpu.back());
    }
};

Lateness measureLateness(const std::function<void()>& start, const std::function<bool()>& busy) {
    Lateness result;
    QElapsedTimer clock;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(5);
    qint64 last = 0;
    double lastCpu = threadCpuMs();
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const double cpu = threadCpuMs();
        result.late.push_back(std::max(0.0, static_cast<double>(now - last) / 1e6 - 5.0));
        result.cpu.push_back(cpu - lastCpu);
        last = now;
        lastCpu = cpu;
    });
    clock.start();
    tick.start();
    start();
    while (busy()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    result.ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    return result;
}

// The Usage page reading `home`'s transcripts with no usage cache, and as a
// floor, the same timer with the window idle for as long.
void usageLateness(const std::string& home, double corpusMB) {
    fs::remove(home + "/.vorla-agents/data/usage-cache.json");
    std::unique_ptr<ui::SettingsWindow> window;
    openPainted(window, ui::SettingsTab::agents);
    settle();
    Lateness reading = measureLateness(
        [&] { switchPainted(*window, ui::SettingsTab::usage); },
        [&] { return showsText(window.get(), QStringLiteral("Reading transcripts…")); });
    QElapsedTimer idleFor;
    idleFor.start();
    const double readMs = reading.ms;
    Lateness idle = measureLateness([] {}, [&] { return idleFor.elapsed() < readMs; });
    const std::string what = "Usage page reading " + std::to_string(static_cast<int>(corpusMB)) +
                             " MB of transcripts (no cache)";
    reading.print(what.c_str());
    idle.print("the same window idle, as long (this machine's floor)");
}

}  // namespace

int main(int argc, char** argv) {
    double corpusMB = 1024;
    std::vector<char*> args{argv[0]};
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg.starts_with("--corpus-mb=")) {
            corpusMB = std::stod(std::string(arg.substr(12)));
        } else {
            args.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(args.size());

    char pattern[] = "/tmp/vorla-bench-settings-XXXXXX";
    const std::string home = mkdtemp(pattern);
    static std::string removeAtExit = home;
    std::atexit([] { fs::remove_all(removeAtExit); });
    run("python3 '" VORLA_SOURCE_DIR "/scripts/settings_seed.py' '" + home + "'");
    ::setenv("HOME", home.c_str(), 1);
    if (std::getenv("DISPLAY") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    QApplication app(count, args.data());
    // The app's own windows are up before anyone opens the settings: the
    // platform connection and fonts are not the window's cost.
    QLabel island(QStringLiteral("Vorla Agents"));
    island.show();
    PaintWatch(&island).wait();

    Engine stores(home);
    engine = &stores;
    memoryFigures();

    benchmark::RegisterBenchmark("open_to_painted", BM_OpenToPainted)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    for (ui::SettingsTab tab : ui::kSettingsTabs) {
        const std::string name(ui::title(tab));
        benchmark::RegisterBenchmark(("switch_first/" + name).c_str(), BM_SwitchTab, tab, true)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("switch_again/" + name).c_str(), BM_SwitchTab, tab, false)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks();

    if (corpusMB > 0) {
        const std::string corpus = VORLA_SOURCE_DIR "/bench/data/settings-" +
                                   std::to_string(static_cast<int>(corpusMB)) + "mb";
        // Transcripts count by their modification time: a corpus older than
        // the week the page shows is written again.
        const auto stamp = corpus + "/.generated";
        if (!fs::exists(stamp) || fs::file_time_type::clock::now() - fs::last_write_time(stamp) >
                                      std::chrono::hours(24 * 5)) {
            fs::remove_all(corpus);
            run("python3 '" VORLA_SOURCE_DIR "/bench/gen_transcripts.py' '" + corpus +
                "' --claude-mb " + std::to_string(corpusMB) + " --files 2000 --seed 7 > /dev/null");
            std::ofstream(stamp) << "1\n";
        }
        // The seeded transcripts make way for the corpus.
        fs::remove_all(home + "/.claude/projects");
        fs::create_directory_symlink(corpus + "/.claude/projects", home + "/.claude/projects");
        usageLateness(home, corpusMB);
    }
    return 0;
}
