#include "engine/phone/http_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "core/text.h"
#include "engine/phone/http_message.h"
#include "engine/support/thread_annotations.h"

namespace vorla::phone {

namespace {

// Dual-stack where the machine has IPv6 (a phone may resolve the .local name
// to either family), IPv4 otherwise.
UniqueFd bindAllInterfaces(std::uint16_t port, int& error) {
    UniqueFd fd(::socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    int yes = 1;
    int no = 0;
    if (fd) {
        ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        ::setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_any;
        address.sin6_port = htons(port);
        if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            return fd;
        }
        error = errno;
        if (error != EAFNOSUPPORT && error != EADDRNOTAVAIL) {
            return {};
        }
    }
    fd.reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) {
        error = errno;
        return {};
    }
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = errno;
        return {};
    }
    return fd;
}

// The peer's address without its port; IPv4 peers of the dual-stack socket
// come as IPv4-mapped IPv6 addresses, one key per address either way.
std::string clientKey(const sockaddr_storage& peer) {
    if (peer.ss_family == AF_INET6) {
        const auto& address = reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr;
        return {reinterpret_cast<const char*>(&address), sizeof address};
    }
    const auto& address = reinterpret_cast<const sockaddr_in&>(peer).sin_addr;
    return {reinterpret_cast<const char*>(&address), sizeof address};
}

std::uint16_t localPort(int fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    }
    return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

}  // namespace

// What the owner's thread and Replies share with the I/O thread.
struct HttpListener::Shared {
    Mutex mutex;
    std::condition_variable listenClosed;
    int wakeFd VORLA_GUARDED_BY(mutex) = -1;  // valid while !closed
    // The listener is going away: replies are dropped.
    bool closed VORLA_GUARDED_BY(mutex) = false;
    bool stopListen VORLA_GUARDED_BY(mutex) = false;
    bool stop VORLA_GUARDED_BY(mutex) = false;
    bool listenFdClosed VORLA_GUARDED_BY(mutex) = false;
    std::vector<std::pair<std::uint64_t, std::string>> replies VORLA_GUARDED_BY(mutex);

    void wake() const VORLA_REQUIRES(mutex) {
        std::uint64_t one = 1;
        (void)!::write(wakeFd, &one, sizeof one);
    }
};

struct HttpListener::Connection {
    enum class State { reading, draining, awaitingReply, writing, lingering };
    std::uint64_t id = 0;
    UniqueFd fd;
    std::string client;  // the peer's address bytes
    State state = State::reading;
    std::chrono::steady_clock::time_point deadline;
    std::string out;
    std::size_t sent = 0;

    void close() { fd.reset(); }
    // Nothing of ours depends on it yet: not waiting for or sending a reply.
    [[nodiscard]] bool expendable() const {
        return fd && state != State::awaitingReply && state != State::writing;
    }
};

Result<std::unique_ptr<HttpListener>> HttpListener::open(std::uint16_t port, Handler handler,
                                                         HttpLimits limits) {
    int code = 0;
    UniqueFd fd = bindAllInterfaces(port, code);
    if (fd && ::listen(fd.get(), 64) != 0) {
        code = errno;
        fd.reset();
    }
    if (!fd) {
        return fail(std::strerror(code));
    }
    UniqueFd wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!wake) {
        return fail(std::strerror(errno));
    }
    const std::uint16_t bound = localPort(fd.get());
    return std::unique_ptr<HttpListener>(
        new HttpListener(std::move(fd), std::move(wake), bound, std::move(handler), limits));
}

HttpListener::HttpListener(UniqueFd listenFd, UniqueFd wakeFd, std::uint16_t port, Handler handler,
                           HttpLimits limits)
    : port_(port),
      handler_(std::move(handler)),
      limits_(limits),
      wakeFd_(std::move(wakeFd)),
      shared_(std::make_shared<Shared>()),
      listenFd_(std::move(listenFd)) {
    {
        MutexLock lock(shared_->mutex);
        shared_->wakeFd = wakeFd_.get();
    }
    thread_ = std::thread([this] { serve(); });
}

HttpListener::~HttpListener() {
    {
        MutexLock lock(shared_->mutex);
        shared_->closed = true;
        shared_->stop = true;
        shared_->wake();
    }
    thread_.join();
}

void HttpListener::stopListening() {
    Shared& shared = *shared_;
    MutexLock lock(shared.mutex);
    shared.stopListen = true;
    shared.wake();
    shared.listenClosed.wait(
        lock.native(), [&shared]() VORLA_REQUIRES(shared.mutex) { return shared.listenFdClosed; });
}

void HttpListener::takeMessages(std::vector<Connection>& connections, bool& stopListen,
                                bool& stop) {
    std::vector<std::pair<std::uint64_t, std::string>> replies;
    {
        MutexLock lock(shared_->mutex);
        replies.swap(shared_->replies);
        stopListen = shared_->stopListen;
        stop = shared_->stop;
    }
    auto now = std::chrono::steady_clock::now();
    for (auto& [id, bytes] : replies) {
        auto found = std::find_if(connections.begin(), connections.end(),
                                  [id = id](const Connection& c) { return c.id == id; });
        if (found != connections.end() && found->state == Connection::State::awaitingReply) {
            found->out = std::move(bytes);
            found->state = Connection::State::writing;
            found->deadline = now + limits_.write;
        }
    }
}

void HttpListener::acceptAll(std::vector<Connection>& connections) {
    for (;;) {
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        UniqueFd fd(::accept4(listenFd_.get(), reinterpret_cast<sockaddr*>(&peer), &length,
                              SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) {
            return;  // EAGAIN, or a connection that vanished before we took it
        }
        Connection connection;
        connection.client = clientKey(peer);
        if (!makeRoom(connections, connection.client)) {
            continue;  // every slot is being answered: this one is refused
        }
        connection.fd = std::move(fd);
        connection.deadline = std::chrono::steady_clock::now() + limits_.read;
        connections.push_back(std::move(connection));
    }
}

bool HttpListener::makeRoom(std::vector<Connection>& connections, const std::string& client) const {
    std::erase_if(connections, [](const Connection& c) { return !c.fd; });
    auto fromClient = [&client](const Connection& c) { return c.client == client; };
    // Oldest first: the vector is in the order of accept.
    auto dropOldest = [&connections](auto&& among) {
        auto victim = std::find_if(connections.begin(), connections.end(),
                                   [&](const Connection& c) { return c.expendable() && among(c); });
        if (victim == connections.end()) {
            return false;
        }
        connections.erase(victim);
        return true;
    };
    if (static_cast<std::size_t>(std::count_if(connections.begin(), connections.end(),
                                               fromClient)) >= limits_.maxPerClient &&
        !dropOldest(fromClient)) {
        return false;
    }
    if (connections.size() >= limits_.maxConnections &&
        !dropOldest([](const Connection&) { return true; })) {
        return false;
    }
    return true;
}

void HttpListener::serve() {
    std::vector<Connection> connections;
    for (;;) {
        bool stopListen = false;
        bool stop = false;
        takeMessages(connections, stopListen, stop);
        if (stop) {
            break;
        }
        if (stopListen && listenFd_) {
            closeListener();
        }
        if (!listenFd_ && connections.empty()) {
            break;
        }
        const bool pollListen = static_cast<bool>(listenFd_);
        std::vector<pollfd> fds = pollSet(connections, pollListen);
        if (::poll(fds.data(), fds.size(), pollTimeout(connections)) < 0 && errno != EINTR) {
            break;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            (void)!::read(wakeFd_.get(), &count, sizeof count);
        }
        std::size_t base = pollListen ? 2 : 1;
        auto now = Clock::now();
        for (std::size_t i = 0; i < connections.size(); ++i) {
            advance(connections[i], fds[base + i].revents, now);
        }
        std::erase_if(connections, [](const Connection& c) { return !c.fd; });
        if (pollListen && (fds[1].revents & POLLIN) != 0) {
            acceptAll(connections);
        }
    }
    for (Connection& c : connections) {
        c.close();
    }
    closeListener();
    finished_.store(true);
}

void HttpListener::closeListener() {
    listenFd_.reset();
    MutexLock lock(shared_->mutex);
    shared_->listenFdClosed = true;
    shared_->listenClosed.notify_all();
}

std::vector<pollfd> HttpListener::pollSet(const std::vector<Connection>& connections,
                                          bool pollListen) const {
    std::vector<pollfd> fds;
    fds.push_back({wakeFd_.get(), POLLIN, 0});
    if (pollListen) {
        fds.push_back({listenFd_.get(), POLLIN, 0});
    }
    for (const Connection& c : connections) {
        short events = 0;
        if (c.state == Connection::State::writing) {
            events = POLLOUT;
        } else if (c.state != Connection::State::awaitingReply) {
            events = POLLIN;
        }
        fds.push_back({c.fd.get(), events, 0});
    }
    return fds;
}

int HttpListener::pollTimeout(const std::vector<Connection>& connections) {
    if (connections.empty()) {
        return -1;
    }
    auto earliest = std::min_element(connections.begin(), connections.end(),
                                     [](const Connection& a, const Connection& b) {
                                         return a.deadline < b.deadline;
                                     })
                        ->deadline;
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(earliest - Clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, wait.count()));
}

void HttpListener::advance(Connection& c, short revents, Clock::time_point now) {
    using State = Connection::State;
    if (now >= c.deadline) {
        c.close();
        return;
    }
    if (revents == 0) {
        return;
    }
    switch (c.state) {
        case State::reading:
            readRequest(c, now);
            break;
        case State::draining:
        case State::lingering:
            discardInput(c);
            break;
        case State::writing:
            if ((revents & (POLLERR | POLLHUP)) != 0) {
                c.close();
            } else {
                writeReply(c, now);
            }
            break;
        case State::awaitingReply:
            if ((revents & (POLLERR | POLLHUP)) != 0) {
                c.close();  // the peer is gone; its reply would go nowhere
            }
            break;
    }
}

void HttpListener::readRequest(Connection& c, Clock::time_point now) {
    ssize_t n = ::recv(c.fd.get(), buffer_.data(), buffer_.size(), 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (n <= 0) {
        c.close();
        return;
    }
    std::string_view got(buffer_.data(), static_cast<std::size_t>(n));
    if (got.size() == buffer_.size()) {
        got = got.substr(0, withoutCutCharacter(got));
    }
    if (!isValidUTF8(got)) {
        c.state =
            Connection::State::draining;  // no answer; closed when the peer or the limit ends it
        return;
    }
    c.id = nextID_++;
    c.state = Connection::State::awaitingReply;
    c.deadline = now + limits_.reply;
    std::weak_ptr<Shared> weak = shared_;
    handler_(std::string(got), [weak, id = c.id](std::string bytes) {
        if (auto shared = weak.lock()) {
            MutexLock lock(shared->mutex);
            if (!shared->closed) {
                shared->replies.emplace_back(id, std::move(bytes));
                shared->wake();
            }
        }
    });
}

void HttpListener::discardInput(Connection& c) {
    ssize_t n = ::recv(c.fd.get(), buffer_.data(), buffer_.size(), 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        c.close();
    }
}

void HttpListener::writeReply(Connection& c, Clock::time_point now) {
    ssize_t n = ::send(c.fd.get(), c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (n < 0) {
        c.close();
        return;
    }
    c.sent += static_cast<std::size_t>(n);
    if (c.sent == c.out.size()) {
        ::shutdown(c.fd.get(), SHUT_WR);
        c.state = Connection::State::lingering;
        c.deadline = now + limits_.linger;
    }
}

}  // namespace vorla::phone
