// The listening end of a Unix socket and the accept loop both of the app's
// servers run (bridge events, subcommand requests). Only processes of the
// user who runs the app get through: the socket file's mode alone does not
// keep out a folder someone else prepared, so every peer's uid is checked. open() and close() are
// called from the owner's thread, run() from the one accept thread; wake()
// from any thread.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "core/unique_fd.h"
#include "core/unix_socket.h"

namespace vorla {

class SocketListener {
  public:
    struct Loop {
        // Each accepted connection of this user's, with the peer's
        // credentials, on the accept thread.
        std::function<void(UniqueFd, UnixSocket::Peer)> onConnection;
        // Called before every wait; the wait ends after `idleInterval` at the
        // latest (negative: only for a connection or wake()).
        std::function<void()> beforeWait;
        std::chrono::milliseconds idleInterval{-1};
        // Pause after a transient accept failure (descriptor limit, memory).
        std::chrono::milliseconds backoff{50};
    };

    SocketListener() = default;
    ~SocketListener() { close(); }
    SocketListener(const SocketListener&) = delete;
    SocketListener& operator=(const SocketListener&) = delete;

    // Listens on `path` (replacing a stale socket file), non-blocking. Throws
    // UnixSocket::Error, in which case nothing is held.
    void open(const std::string& path, int backlog);

    // Accepts until wake() or until the listening socket is gone. Transient
    // failures (EMFILE, ENOMEM, ...) pause and retry rather than stop
    // answering until a restart: the pending connection stays queued.
    void run(const Loop& loop);

    // Makes run() return soon; safe from any thread, also before run().
    void wake();
    [[nodiscard]] bool woken() const { return woken_.load(); }

    // Transient accept failures so far (each one paused the loop); any thread.
    [[nodiscard]] std::uint64_t failedAccepts() const { return failedAccepts_.load(); }

    // Closes the socket and removes its file if it is still ours (another
    // instance may have taken the path over). Call after run() returned.
    void close();

    // The listening descriptor, -1 when closed.
    [[nodiscard]] int fd() const { return listenFD_.get(); }

  private:
    // False when wake() interrupted the pause.
    bool pause(std::chrono::milliseconds backoff) const;
    // Hands a connection of ours on; closes any other (logged once).
    void admit(UniqueFd fd, const Loop& loop);

    std::string path_;
    UniqueFd listenFD_;
    UniqueFd wakeFD_;  // an eventfd that interrupts run()'s poll
    dev_t socketDevice_ = 0;
    ino_t socketInode_ = 0;
    std::atomic<bool> woken_{false};
    std::atomic<std::uint64_t> failedAccepts_{0};
    bool toldRefusal_ = false;  // run()'s thread only
};

}  // namespace vorla
