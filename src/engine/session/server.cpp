#include "engine/session/server.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "core/paths.h"
#include "core/protocol.h"
#include "core/unix_socket.h"
#include "engine/support/log.h"
#include "engine/support/process_tree.h"

namespace vorla {

namespace {

constexpr auto kReapInterval = std::chrono::milliseconds(1000);

// How often a waiting gate looks whether its bridge is still there.
constexpr auto kPeerCheckInterval = std::chrono::milliseconds(250);

// The bridge closed its end: the agent gave up (Esc, a killed hook).
bool peerClosed(int fd) {
    pollfd peer{fd, 0, 0};  // hang-ups and errors are reported unasked
    return ::poll(&peer, 1, 0) > 0 && (peer.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// Waits for a decision like GateBox::wait, abandoning the box when the bridge
// closes its connection meanwhile (`peerLeft`), so a late answer is refused.
Decision waitWatchingPeer(int fd, GateBox& box, std::chrono::milliseconds timeout, bool& peerLeft) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const auto left = timeout - (std::chrono::steady_clock::now() - start);
        if (left <= std::chrono::steady_clock::duration::zero() ||
            box.waitFor(std::min<std::chrono::steady_clock::duration>(left, kPeerCheckInterval))) {
            break;
        }
        if (peerClosed(fd)) {
            box.abandon();
            peerLeft = true;
            break;
        }
    }
    return box.wait(std::chrono::steady_clock::duration::zero());
}

void setReceiveTimeout(int fd, std::chrono::milliseconds timeout) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
}

}  // namespace

Server::Server(SessionStore& store, MainQueue& queue) : Server(store, queue, Options{}) {}

Server::Server(SessionStore& store, MainQueue& queue, Options options)
    : store_(store), queue_(queue), options_(std::move(options)) {}

Server::~Server() {
    stop();
}

void Server::start() {
    path_ = options_.path.empty() ? socketPath() : options_.path;
    listener_.open(path_, options_.backlog);
    SocketListener::Loop loop;
    loop.onConnection = [this](UniqueFd fd, UnixSocket::Peer peer) {
        dispatch(std::move(fd), peer.pid);
    };
    // Wake now and then to join the threads of finished connections.
    loop.beforeWait = [this] { reapExited(); };
    loop.idleInterval = kReapInterval;
    loop.backoff = options_.acceptBackoff;
    acceptThread_ = std::thread([this, loop = std::move(loop)] { listener_.run(loop); });
    logLine("Vorla Agents listening on " + path_);
}

void Server::stop() {
    if (stopping_.exchange(true)) {
        return;
    }
    listener_.wake();
    if (acceptThread_.joinable()) {
        acceptThread_.join();
    }
    listener_.close();
    std::map<std::thread::id, std::thread> threads;
    {
        MutexLock lock(mutex_);
        for (auto& [id, connection] : connections_) {
            ::shutdown(connection.fd.get(), SHUT_RDWR);  // wakes a pending read
            if (connection.box) {
                connection.box->abandon();
            }
        }
        jobReady_.notify_all();  // idle threads exit; queued jobs are still served
        threads.swap(threads_);
    }
    for (auto& [id, thread] : threads) {
        thread.join();
    }
    MutexLock lock(mutex_);
    connections_.clear();
    exited_.clear();
}

std::size_t Server::openConnections() const {
    MutexLock lock(mutex_);
    return connections_.size();
}

std::size_t Server::threadCount() const {
    MutexLock lock(mutex_);
    return threads_.size() - exited_.size();
}

void Server::dispatch(UniqueFd connection, pid_t peer) {
    const int fd = connection.get();
    std::uint64_t id = 0;
    {
        MutexLock lock(mutex_);
        id = nextID_++;
        connections_[id].fd = std::move(connection);
    }
    const ssize_t n = ::recv(fd, acceptBuffer_.data(), acceptBuffer_.size(), MSG_DONTWAIT);
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        finish(id);  // a broken connection: dropped like a garbage line
        return;
    }
    if (n == 0) {
        finish(id);  // closed without a byte
        return;
    }
    // Nothing yet, or only part of the line: a thread waits for the rest.
    std::string line(acceptBuffer_.data(), n < 0 ? 0 : static_cast<std::size_t>(n));
    const std::size_t newline = line.find('\n');
    if (newline == std::string::npos) {
        startThread(Job{id, fd, std::nullopt, std::move(line), peer});
        return;
    }
    line.resize(newline);
    std::optional<Event> event = decodeEvent(std::move(line));
    if (event && event->gating) {
        startThread(Job{id, fd, std::move(event), {}, peer});
        return;
    }
    if (event) {
        post(std::move(*event));
    }
    finish(id);
}

void Server::startThread(Job job) {
    // Only a thread's read can block; one that never ends is cut off here.
    setReceiveTimeout(job.fd, options_.readTimeout);
    MutexLock lock(mutex_);
    if (idleThreads_ > jobs_.size()) {
        jobs_.push_back(std::move(job));
        jobReady_.notify_one();
        return;
    }
    const std::uint64_t id = job.id;
    try {
        std::thread thread([this, job = std::move(job)]() mutable { work(std::move(job)); });
        threads_.emplace(thread.get_id(), std::move(thread));
    } catch (const std::system_error&) {
        // No thread to be had: drop this connection; its bridge exits quietly.
        connections_.erase(id);
    }
}

void Server::work(Job first) {
    for (std::optional<Job> job = std::move(first); job; job = nextJob()) {
        serve(std::move(*job));
    }
}

std::optional<Server::Job> Server::nextJob() {
    MutexLock lock(mutex_);
    ++idleThreads_;
    jobReady_.wait_for(lock.native(), options_.idleThreadTimeout, [this]() VORLA_REQUIRES(mutex_) {
        return !jobs_.empty() || stopping_.load();
    });
    --idleThreads_;
    if (jobs_.empty()) {
        exited_.push_back(std::this_thread::get_id());
        return std::nullopt;
    }
    Job job = jobs_.front();
    jobs_.pop_front();
    return job;
}

void Server::serve(Job job) {
    if (!job.event) {
        job.event = readEvent(job.fd, std::move(job.start));
    }
    if (job.event && job.event->gating) {
        waitForDecision(job, *job.event);
    } else if (job.event) {
        post(std::move(*job.event));
    }
    finish(job.id);
}

std::optional<Event> Server::readEvent(int fd, std::string start) {
    try {
        if (auto line = UnixSocket::readLine(fd, kMaxEventLineBytes, std::move(start))) {
            return decodeEvent(std::move(*line));
        }
    } catch (const UnixSocket::Error&) {
        // Read error, time-out or a line past the limit: drop the connection
        // like a garbage line.
    }
    return std::nullopt;
}

void Server::post(Event event) {
    SessionStore* store = &store_;
    queue_.post([store, event = std::move(event)] { store->apply(event); });
}

void Server::waitForDecision(const Job& job, const Event& event) {
    const std::uint64_t id = job.id;
    const int fd = job.fd;
    auto box = std::make_shared<GateBox>();
    {
        MutexLock lock(mutex_);
        connections_[id].box = box;
    }
    if (stopping_.load()) {
        box->abandon();  // stop() may have looked before the box was set
    }
    SessionStore* store = &store_;
    std::optional<Decision> answer;
    if (isRuleCheck(event.source, event.event, event.toolName)) {
        queue_.post([store, event, box] { store->checkRules(event, box); });
        (void)box->wait(options_.gateTimeout);
        answer = box->decision();  // a rule's denial, or nothing at all
    } else {
        // Found from the connection, not from anything the payload says. A
        // "agent" that the app itself runs under is no agent alone (a
        // terminal, a session manager): refusing everything under it would
        // refuse the user's own terminal too.
        if (auto agent = agentOfBridge(job.peer); agent && !runsUnder(::getpid(), *agent)) {
            box->setAgent(*agent, agentMarkers(job.peer));
        }
        queue_.post([store, event, box] { store->openGate(event, box); });
        bool peerLeft = false;
        Decision decision = waitWatchingPeer(fd, *box, options_.gateTimeout, peerLeft);
        // Closing without a behavior records nothing: no answer reached the agent.
        queue_.post([store, id = event.id] { store->closeGate(id); });
        if (!peerLeft && !box->handedBack()) {
            answer = decision;  // a handed-back gate is answered by the agent's own prompt
        }
    }
    if (answer && !stopping_.load()) {
        try {
            UnixSocket::writeLine(fd, encode(*answer));
        } catch (const UnixSocket::Error&) {
            // The bridge went away while it waited; nothing to tell.
        }
    }
}

void Server::finish(std::uint64_t id) {
    MutexLock lock(mutex_);
    connections_.erase(id);
}

void Server::reapExited() {
    std::vector<std::thread> done;
    {
        MutexLock lock(mutex_);
        for (auto id : exited_) {
            if (auto it = threads_.find(id); it != threads_.end()) {
                done.push_back(std::move(it->second));
                threads_.erase(it);
            }
        }
        exited_.clear();
    }
    for (auto& thread : done) {
        thread.join();
    }
}

}  // namespace vorla
