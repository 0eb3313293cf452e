// Thin, stateless functions over AF_UNIX stream sockets, carrying the one
// line each way of the bridge protocol. Safe from any thread; a descriptor must
// not be used by two threads at once. Callers own and close every descriptor
// returned, also after a `closed` error.
//
// Error policy: every failure throws UnixSocket::Error; nothing is logged.
#pragma once

#include <sys/types.h>
#include <sys/un.h>

#include <optional>
#include <string>
#include <string_view>

namespace vorla::UnixSocket {

class Error {
  public:
    enum class Kind {
        socketFailed,
        connectFailed,
        bindFailed,
        listenFailed,
        pathTooLong,
        closed,
        lineTooLong
    };

    Error(Kind kind, int errnoValue) : kind_(kind), errno_(errnoValue) {}

    [[nodiscard]] Kind kind() const { return kind_; }
    // errno read right after the failing call; 0 for pathTooLong, lineTooLong
    // and a closed stream.
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

// tryConnect for a socket of our own (~/.vorla-agents/run/<name>.sock): the
// socket file, its folder and the folder above must be this user's, not
// symbolic links, and the folders writable by nobody else; after connecting,
// the listener must run as this user too. Anything else may be another
// user's listener waiting for our payloads, and counts as no app at all.
[[nodiscard]] std::optional<int> tryConnectOwned(const std::string& path);

// Listening descriptor: creates the parent folder (0700 when it creates it;
// an existing one keeps its mode), removes any stale file at `path`, binds,
// listens, and makes the socket file 0600. A path too long for an address
// throws pathTooLong before anything on disk is touched.
[[nodiscard]] int listen(std::string_view path, int backlog);

// One line without its line feed; nullopt at end of stream before any byte;
// the bytes so far at end of stream after some. Reads in large chunks: the
// protocol sends nothing after the line feed, so nothing is lost. `start`
// holds bytes of the line already read (no line feed among them). Throws
// closed on a read error, and lineTooLong as soon as more than `limit` bytes
// came without a line feed: a peer cannot make us hold more than that.
[[nodiscard]] std::optional<std::string> readLine(int fd, std::size_t limit,
                                                  std::string start = {});

// Who is at the other end of a connected socket, as the kernel saw it when
// the connection was made; nullopt when it cannot tell.
struct Peer {
    pid_t pid = 0;
    uid_t uid = 0;
};
[[nodiscard]] std::optional<Peer> peerOf(int fd);

// Writes `bytes` and one line feed, looping over partial writes. Throws closed
// when the peer is gone; never raises SIGPIPE.
void writeLine(int fd, std::string_view bytes);

}  // namespace vorla::UnixSocket
