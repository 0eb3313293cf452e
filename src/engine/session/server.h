// The application's end of the bridge socket. One accept thread; each
// connection is served by a thread of its own, which reads the one event line
// (at most kMaxEventLineBytes: a longer one drops the connection) and hands it
// to the store on the main thread. A gating connection blocks its
// thread on a GateBox until a decision or the time-out, then writes the
// decision line back.
//
// Two shortcuts keep a steady stream of hook events cheap. The accept thread
// reads what has already arrived, without waiting: when that is the whole
// line (the usual case, as a bridge writes right after connecting), an
// ordinary event is posted from there. Otherwise the connection goes to a thread that is
// idle after serving an earlier one; such a thread waits a while for the next
// instead of exiting. A connection never waits for a busy thread: with none
// idle, a new one starts. There is no fixed pool, since a gate may hold its
// thread for a day.
//
// start() and stop() are called from the main thread; the server never
// touches the store from its own threads, it only posts to the MainQueue.
// The store and the queue must outlive the server.
#pragma once

#include <sys/types.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/protocol.h"
#include "core/unique_fd.h"
#include "engine/session/gate_box.h"
#include "engine/session/session_store.h"
#include "engine/session/socket_listener.h"
#include "engine/support/main_queue.h"
#include "engine/support/thread_annotations.h"

namespace vorla {

class Server {
  public:
    struct Options {
        // Socket path; empty: socketPath() at start().
        std::string path;
        // How long a gate waits for a decision before denying (86000 s).
        std::chrono::milliseconds gateTimeout{std::chrono::seconds(86000)};
        // Pause after a transient accept failure (descriptor limit, memory).
        std::chrono::milliseconds acceptBackoff{50};
        // A client that connects and never sends its line is dropped after this.
        std::chrono::milliseconds readTimeout{std::chrono::seconds(30)};
        // An idle connection thread exits after this long without work.
        std::chrono::milliseconds idleThreadTimeout{std::chrono::seconds(10)};
        int backlog = 32;
    };

    Server(SessionStore& store, MainQueue& queue);
    Server(SessionStore& store, MainQueue& queue, Options options);
    // Stops (see stop()).
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Listens (replacing a stale socket file), starts the accept thread and
    // logs "Vorla Agents listening on <path>". Throws UnixSocket::Error, in
    // which case nothing else happened. Call once.
    void start();

    // Termination: stops accepting, closes the listening descriptor, removes
    // the socket file if it is still ours (another instance may have taken
    // the path over), and drops every waiting gate's connection without an
    // answer, so its bridge exits quietly. Joins every thread. Idempotent.
    void stop();

    // The listening descriptor, -1 before start() and after stop().
    [[nodiscard]] int listenFD() const { return listener_.fd(); }
    [[nodiscard]] const std::string& path() const { return path_; }
    // Connections being served right now (gates waiting included).
    [[nodiscard]] std::size_t openConnections() const;
    // Connection threads alive, busy or idle.
    [[nodiscard]] std::size_t threadCount() const;
    // Accepts that failed for want of descriptors or memory, and were retried.
    [[nodiscard]] std::uint64_t failedAccepts() const { return listener_.failedAccepts(); }

  private:
    struct Connection {
        UniqueFd fd;
        std::shared_ptr<GateBox> box;  // set while a gate waits
    };
    struct Job {
        std::uint64_t id = 0;
        int fd = -1;                 // owned by its Connection
        std::optional<Event> event;  // already read by the accept thread
        std::string start;           // else the bytes of its line read so far
        pid_t peer = 0;              // the bridge, as the kernel saw it connect
    };

    void dispatch(UniqueFd fd, pid_t peer);
    void startThread(Job job);
    void work(Job first);
    // Waits for the next job; nullopt when the thread should exit.
    std::optional<Job> nextJob();
    void serve(Job job);
    static std::optional<Event> readEvent(int fd, std::string start);
    void post(Event event);
    void waitForDecision(const Job& job, const Event& event);
    void finish(std::uint64_t id);
    void reapExited();

    SessionStore& store_;
    MainQueue& queue_;
    const Options options_;

    // Written by start()/stop() on the main thread.
    std::string path_;
    SocketListener listener_;
    std::thread acceptThread_;
    std::atomic<bool> stopping_{false};
    // The accept thread's first read of each connection (most lines fit).
    std::array<char, std::size_t{16} << 10> acceptBuffer_{};

    mutable Mutex mutex_;
    std::condition_variable jobReady_;
    std::map<std::uint64_t, Connection> connections_ VORLA_GUARDED_BY(mutex_);
    std::map<std::thread::id, std::thread> threads_ VORLA_GUARDED_BY(mutex_);
    // Threads that returned, to join.
    std::vector<std::thread::id> exited_ VORLA_GUARDED_BY(mutex_);
    // Accepted, not yet taken by an idle thread.
    std::deque<Job> jobs_ VORLA_GUARDED_BY(mutex_);
    std::size_t idleThreads_ VORLA_GUARDED_BY(mutex_) = 0;
    std::uint64_t nextID_ VORLA_GUARDED_BY(mutex_) = 0;
};

}  // namespace vorla
