// The application's end of the request channel (control_protocol.h): one
// thread accepts on ~/.vorla-agents/run/control.sock and serves connections
// one at a time, each one request line answered by the handler on the main
// thread. Requests are tiny and answered at once, so one thread is enough; a
// client that connects and sends nothing is cut off after readTimeout.
//
// start() and stop() are called from the main thread; the handler runs there
// too (through MainQueue::post) and never after stop().
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "engine/session/socket_listener.h"
#include "engine/support/main_queue.h"
#include "engine/support/thread_annotations.h"

namespace vorla {

class ControlServer {
  public:
    // The reply line (without its line feed) for one request line.
    using Handler = std::function<std::string(std::string_view line)>;

    struct Options {
        std::string path;  // empty: controlSocketPath() at start()
        std::chrono::milliseconds readTimeout{1000};
        // How long a request may wait for the main thread before the
        // client is told the app is busy.
        std::chrono::milliseconds answerTimeout{10000};
    };

    ControlServer(MainQueue& queue, Handler handler);
    ControlServer(MainQueue& queue, Handler handler, Options options);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Listens (replacing a stale socket file) and starts the thread. Throws
    // UnixSocket::Error, in which case nothing else happened. Call once.
    void start();
    // Stops serving, closes the socket and removes its file if it is still
    // ours. Idempotent.
    void stop();

    [[nodiscard]] const std::string& path() const { return path_; }

  private:
    struct Pending;

    void serve(int fd);
    [[nodiscard]] std::string answerOnMainThread(std::string line);

    MainQueue& queue_;
    // Shared with posted tasks, which skip the handler once stop() reset it.
    std::shared_ptr<Handler> handler_;
    const std::weak_ptr<Handler> weakHandler_;  // what other threads copy
    const Options options_;

    // Written by start()/stop() on the main thread.
    std::string path_;
    SocketListener listener_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};

    Mutex mutex_;
    std::shared_ptr<Pending> current_ VORLA_GUARDED_BY(mutex_);  // the answer awaited
};

}  // namespace vorla
