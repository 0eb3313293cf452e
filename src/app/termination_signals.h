// SIGINT, SIGTERM and SIGHUP end the application cleanly. They are blocked in
// the main thread before any other thread starts, so every thread inherits
// the mask and only the app's own waiter (sigwait or a signalfd) sees them.
#pragma once

#include <signal.h>

namespace vorla::app {

// Blocks the termination signals in the calling thread (and so in every
// thread created after) and returns the set.
sigset_t blockTerminationSignals();

}  // namespace vorla::app
