// The application's end of the request channel (control_protocol.h): one
// thread accepts on ~/.vorla-agents/run/control.sock and each client gets a
// thread of its own, so one that connects and sends nothing (cut off after
// readTimeout) never holds up another's `allow`. Each client sends one
// request line (at most kMaxRequestBytes: a longer one is dropped unread),
// answered by the handler on the main thread.
//
// start() and stop() are called from the main thread; the handler runs there
// too (through MainQueue::post) and never after stop().
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/unique_fd.h"
#include "core/unix_socket.h"
#include "engine/session/socket_listener.h"
#include "engine/support/main_queue.h"
#include "engine/support/thread_annotations.h"

namespace vorla {

class ControlServer {
  public:
    // The reply line (without its line feed) for one request line from
    // `caller` (as the kernel saw it connect).
    using Handler =
        std::function<std::string(std::string_view line, const UnixSocket::Peer& caller)>;

    struct Options {
        std::string path;  // empty: controlSocketPath() at start()
        std::chrono::milliseconds readTimeout{1000};
        // How long a request may wait for the main thread before the
        // client is told the app is busy.
        std::chrono::milliseconds answerTimeout{10000};
        // Clients served at once; one more is closed unanswered.
        std::size_t maxClients = 32;
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
    struct Client {
        UniqueFd fd;
        std::thread thread;
    };

    // On the accept thread: a thread for the client, or a refusal when
    // there are too many.
    void admit(UniqueFd fd, UnixSocket::Peer caller);
    // On the client's thread.
    void serve(int fd, UnixSocket::Peer caller);
    [[nodiscard]] std::string answerOnMainThread(std::string line, UnixSocket::Peer caller);
    void finished(std::uint64_t id);
    void reapFinished();

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
    std::map<std::uint64_t, Client> clients_ VORLA_GUARDED_BY(mutex_);
    std::vector<std::uint64_t> finished_ VORLA_GUARDED_BY(mutex_);         // to join
    std::set<std::shared_ptr<Pending>> pending_ VORLA_GUARDED_BY(mutex_);  // answers awaited
    std::uint64_t nextID_ VORLA_GUARDED_BY(mutex_) = 0;
};

}  // namespace vorla
