// Thin, stateless functions over AF_UNIX stream sockets, carrying the one
// line each way of the bridge protocol. Safe from any thread; a descriptor must
// not be used by two threads at once. Callers own and close every descriptor
// returned, also after a `closed` error.
//
// Error policy: every failure throws UnixSocket::Error; nothing is logged.
#pragma once

#include <sys/un.h>

#include <optional>
#include <string>
#include <string_view>

namespace vorla::UnixSocket {

class Error {
  public:
    enum class Kind { socketFailed, connectFailed, bindFailed, listenFailed, pathTooLong, closed };

    Error(Kind kind, int errnoValue) : kind_(kind), errno_(errnoValue) {}

    [[nodiscard]] Kind kind() const { return kind_; }
    // errno read right after the failing call; 0 for pathTooLong and closed.
    [[nodiscard]] int errnoValue() const { return errno_; }
    // "connectFailed(2)" and the like, for log lines.
    [[nodiscard]] std::string describe() const;

  private:
    Kind kind_;
    int errno_;
};

// Paths of at most this many bytes fit the address on every platform.
inline constexpr std::size_t kMaxPathBytes = 103;

// Zeroed sockaddr_un holding `path`; throws pathTooLong beyond kMaxPathBytes.
[[nodiscard]] sockaddr_un makeAddr(std::string_view path);

// Connected descriptor. No timeout or option is set on it.
[[nodiscard]] int connect(std::string_view path);
// The same without throwing: nullopt for every failure (no application
// listening is the everyday case for a hook, and not worth an exception).
[[nodiscard]] std::optional<int> tryConnect(std::string_view path);

// Listening descriptor: creates the parent folder (0700 when it creates it;
// an existing one keeps its mode), removes any stale file at `path`, binds,
// listens, and makes the socket file 0600. A path too long for an address
// throws pathTooLong before anything on disk is touched.
[[nodiscard]] int listen(std::string_view path, int backlog);

// One line without its line feed; nullopt at end of stream before any byte;
// the bytes so far at end of stream after some. Reads in large chunks: the
// protocol sends nothing after the line feed, so nothing is lost. `start`
// holds bytes of the line already read (no line feed among them). Throws
// closed on a read error.
[[nodiscard]] std::optional<std::string> readLine(int fd, std::string start = {});

// Writes `bytes` and one line feed, looping over partial writes. Throws closed
// when the peer is gone; never raises SIGPIPE.
void writeLine(int fd, std::string_view bytes);

}  // namespace vorla::UnixSocket
