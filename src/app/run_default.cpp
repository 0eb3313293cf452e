// The application itself: no subcommand, or --headless. With a display, plain
// `vorla-agents` is the desktop app; without one, and with --headless, it is
// the engine without a window.
#include <signal.h>

#include <cstdio>
#include <string_view>
#include <thread>

#include "app/app_core.h"
#include "app/cli/commands.h"
#include "app/display_env.h"
#include "app/outputs.h"
#include "app/termination_signals.h"
#include "engine/support/log.h"
#include "engine/support/main_queue.h"
#if VORLA_GUI
#include "ui/desktop/display_probe.h"
#endif

namespace vorla::app {

#if VORLA_GUI
int runDesktop(int argc, char** argv);  // desktop/run_desktop.cpp
#endif

namespace {

int runHeadless(bool hold) {
    sigset_t stopSignals = blockTerminationSignals();

    LoopMainQueue queue;
    std::thread waiter([&queue, stopSignals] {
        int received = 0;
        sigwait(&stopSignals, &received);
        queue.quit();
    });

    {
        AppCore app(queue, SystemClock::shared(), headlessOutputs());
        // Without a window a gate waits only for the phone or, with --hold,
        // for `vorla-agents allow` / `deny`.
        app.setAnswerer(hold ? AppCore::Answerer::terminal : AppCore::Answerer::nobody);
        app.setUp();
        queue.run();
        app.terminate();
        // What the server handed over before it stopped still counts: the
        // audit record of a late PostToolUse, say.
        queue.runPending();
    }
    waiter.join();
    return 0;
}

}  // namespace

int runDefault(int argc, char** argv) {
    bool headless = false;
    bool hold = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--hold") {
            hold = true;
        } else if (arg == "--headless") {
            headless = true;
        } else {
            std::fprintf(stderr, "vorla-agents: unexpected argument '%s'\n\n", argv[i]);
            printUsage(stderr);
            return 2;
        }
    }
    ::signal(SIGPIPE, SIG_IGN);  // a vanished bridge must not end the app
    if (!headless) {
#if VORLA_GUI
        if (!hasDisplay()) {
            logLine(
                "Vorla Agents: no display (DISPLAY and WAYLAND_DISPLAY are unset), running "
                "headless");
        } else if (preferXWayland(); auto problem = ui::displayProblem()) {
            logLine("Vorla Agents: " + *problem + ", running headless");
        } else {
            return runDesktop(argc, argv);
        }
#else
        logLine("Vorla Agents: built without the desktop interface, running headless");
#endif
    }
    return runHeadless(hold);
}

}  // namespace vorla::app
