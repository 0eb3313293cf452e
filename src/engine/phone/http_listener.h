// The TCP side of the phone page: one I/O thread that accepts connections on
// all interfaces, reads each request once, hands it over, writes the reply and
// closes. No request can hold a connection for long: reading, waiting for the
// reply, writing and the closing handshake each have a time limit; and no
// client can crowd the others out: past its share, or when the listener is
// full, its oldest connection that is not being answered makes room.
//
// Threads: construct, stopListening() and destroy on the owner's thread (the
// main thread); the handler runs on the I/O thread; a Reply may be called from
// any thread, once, also after the listener is gone (it is then dropped).
#pragma once

#include <poll.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/result.h"
#include "core/unique_fd.h"
#include "engine/phone/http_message.h"

namespace vorla::phone {

struct HttpLimits {
    // From accept to the request's bytes (and, for a request that is not
    // UTF-8, to the peer's close). A browser sends its request at once.
    std::chrono::milliseconds read{2000};
    // From the request to the owner's reply.
    std::chrono::milliseconds reply{30000};
    // Sending the reply.
    std::chrono::milliseconds write{10000};
    // After sending: waiting for the peer to close, so unread request bytes do
    // not turn our close into a reset that could destroy the reply in flight.
    std::chrono::milliseconds linger{2000};
    std::size_t maxConnections = 64;
    // From one client address.
    std::size_t maxPerClient = 8;
};

class HttpListener {
  public:
    using Reply = std::function<void(std::string bytes)>;
    // Receives each request that is valid UTF-8, as read in one receive of at
    // most 16,384 bytes.
    using Handler = std::function<void(std::string request, Reply reply)>;

    // Listens on `port` (0: any free port) with address reuse and starts the
    // I/O thread. Fails with the system's description when the port cannot
    // be had.
    [[nodiscard]] static Result<std::unique_ptr<HttpListener>> open(std::uint16_t port,
                                                                    Handler handler,
                                                                    HttpLimits limits);
    ~HttpListener();
    HttpListener(const HttpListener&) = delete;
    HttpListener& operator=(const HttpListener&) = delete;

    [[nodiscard]] std::uint16_t port() const { return port_; }

    // Closes the listening socket before returning, so the port is free again;
    // connections already accepted finish on their own.
    void stopListening();
    // Stopped listening and every connection is done.
    [[nodiscard]] bool finished() const { return finished_.load(); }

  private:
    struct Shared;
    struct Connection;

    using Clock = std::chrono::steady_clock;

    HttpListener(UniqueFd listenFd, UniqueFd wakeFd, std::uint16_t port, Handler handler,
                 HttpLimits limits);

    // The I/O thread's loop and its steps.
    void serve();
    void closeListener();
    void acceptAll(std::vector<Connection>& connections);
    // Room for one more connection, from `client`: drops the oldest one that
    // is not being answered from that client when it has its share, and from
    // anyone when the listener is full. False when there is none to drop.
    [[nodiscard]] bool makeRoom(std::vector<Connection>& connections,
                                const std::string& client) const;
    void takeMessages(std::vector<Connection>& connections, bool& stopListen, bool& stop);
    [[nodiscard]] std::vector<pollfd> pollSet(const std::vector<Connection>& connections,
                                              bool pollListen) const;
    [[nodiscard]] static int pollTimeout(const std::vector<Connection>& connections);
    void advance(Connection& c, short revents, Clock::time_point now);
    void readRequest(Connection& c, Clock::time_point now);
    void discardInput(Connection& c);
    void writeReply(Connection& c, Clock::time_point now);

    // Constant after construction.
    const std::uint16_t port_;
    const Handler handler_;
    const HttpLimits limits_;
    const UniqueFd wakeFd_;
    std::shared_ptr<Shared> shared_;

    // Owned by the I/O thread once it runs; closed there.
    UniqueFd listenFd_;
    std::uint64_t nextID_ = 1;
    std::array<char, kMaxRequestBytes> buffer_{};  // one receive of a request

    std::atomic<bool> finished_{false};
    std::thread thread_;
};

}  // namespace vorla::phone
