// The application itself: no subcommand, or --headless. Until the desktop
// window exists, both run the engine without a window.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <string_view>
#include <thread>

#include "app/app_core.h"
#include "app/commands.h"
#include "app/outputs.h"
#include "engine/support/main_queue.h"

namespace vorla::app {

namespace {

// Blocks the termination signals in this thread and every thread created
// after it, so that only the waiter below receives them.
sigset_t blockTerminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

}  // namespace

int runDefault(int argc, char** argv) {
    bool hold = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--hold") {
            hold = true;
        } else if (std::string_view(argv[i]) != "--headless") {
            std::fprintf(stderr, "vorla-agents: unexpected argument '%s'\n\n", argv[i]);
            printUsage(stderr);
            return 2;
        }
    }
    ::signal(SIGPIPE, SIG_IGN);  // a vanished bridge must not end the app
    sigset_t signals = blockTerminationSignals();

    LoopMainQueue queue;
    std::thread waiter([&queue, signals] {
        int received = 0;
        sigwait(&signals, &received);
        queue.quit();
    });

    {
        AppCore app(queue, SystemClock::shared(), headlessOutputs());
        // Without a window a gate waits only for the phone or, with --hold,
        // for `vorla-agents allow` / `deny`.
        (void)hold;  // the hand-back lands with its server side
        app.setAnswerer(AppCore::Answerer::terminal);
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

}  // namespace vorla::app
