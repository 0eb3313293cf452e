#include "engine/session/control_server.h"

#include <sys/socket.h>

#include <condition_variable>
#include <optional>
#include <system_error>

#include "engine/session/control_protocol.h"

namespace vorla {

namespace {

// Wakes now and then to join the threads of clients that are done.
constexpr std::chrono::milliseconds kControlReapInterval{1000};

}  // namespace

struct ControlServer::Pending {
    Mutex mutex;
    std::condition_variable done;
    std::optional<std::string> reply VORLA_GUARDED_BY(mutex);
    bool cancelled VORLA_GUARDED_BY(mutex) = false;
};

ControlServer::ControlServer(MainQueue& queue, Handler handler)
    : ControlServer(queue, std::move(handler), Options{}) {}

ControlServer::ControlServer(MainQueue& queue, Handler handler, Options options)
    : queue_(queue),
      handler_(std::make_shared<Handler>(std::move(handler))),
      weakHandler_(handler_),
      options_(std::move(options)) {}

ControlServer::~ControlServer() {
    stop();
}

void ControlServer::start() {
    path_ = options_.path.empty() ? controlSocketPath() : options_.path;
    listener_.open(path_, 16);
    SocketListener::Loop loop;
    loop.onConnection = [this](UniqueFd fd, UnixSocket::Peer caller) {
        admit(std::move(fd), caller);
    };
    loop.beforeWait = [this] { reapFinished(); };
    loop.idleInterval = kControlReapInterval;
    thread_ = std::thread([this, loop = std::move(loop)] { listener_.run(loop); });
}

void ControlServer::stop() {
    if (stopping_.exchange(true)) {
        return;
    }
    handler_.reset();
    listener_.wake();
    if (thread_.joinable()) {
        thread_.join();  // no client is admitted after this
    }
    std::map<std::uint64_t, Client> clients;
    {
        MutexLock lock(mutex_);
        for (const auto& pending : pending_) {
            MutexLock pendingLock(pending->mutex);
            pending->cancelled = true;
            pending->done.notify_all();
        }
        for (auto& [id, client] : clients_) {
            ::shutdown(client.fd.get(), SHUT_RDWR);  // ends a read in progress
        }
        clients.swap(clients_);
    }
    for (auto& [id, client] : clients) {
        client.thread.join();
    }
    listener_.close();
}

void ControlServer::admit(UniqueFd fd, UnixSocket::Peer caller) {
    reapFinished();
    MutexLock lock(mutex_);
    if (clients_.size() - finished_.size() >= options_.maxClients) {
        return;  // closed unanswered; the command says the app did not answer
    }
    const std::uint64_t id = nextID_++;
    Client& client = clients_[id];
    client.fd = std::move(fd);
    try {
        // The lock is held until the thread is stored, so finished() waits.
        client.thread = std::thread([this, id, raw = client.fd.get(), caller] {
            serve(raw, caller);
            finished(id);
        });
    } catch (const std::system_error&) {
        clients_.erase(id);  // no thread to be had: closed unanswered
    }
}

void ControlServer::finished(std::uint64_t id) {
    MutexLock lock(mutex_);
    finished_.push_back(id);
}

void ControlServer::reapFinished() {
    std::vector<Client> done;
    {
        MutexLock lock(mutex_);
        for (auto id : finished_) {
            if (auto it = clients_.find(id); it != clients_.end()) {
                done.push_back(std::move(it->second));
                clients_.erase(it);
            }
        }
        finished_.clear();
    }
    for (auto& client : done) {
        client.thread.join();
    }
}

void ControlServer::serve(int fd, UnixSocket::Peer caller) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(options_.readTimeout.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>((options_.readTimeout.count() % 1000) * 1000);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    std::optional<std::string> line;
    try {
        line = UnixSocket::readLine(fd, kMaxRequestBytes);
    } catch (const UnixSocket::Error&) {
        return;  // nothing sent in time, or no request at all
    }
    if (!line) {
        return;
    }
    std::string reply = answerOnMainThread(std::move(*line), caller);
    try {
        UnixSocket::writeLine(fd, reply);
    } catch (const UnixSocket::Error&) {
        // The client left without waiting for its answer.
    }
}

std::string ControlServer::answerOnMainThread(std::string line, UnixSocket::Peer caller) {
    auto pending = std::make_shared<Pending>();
    {
        MutexLock lock(mutex_);
        pending_.insert(pending);
        // stop() cancels the answers it finds here; one that comes after it
        // must not wait for a main thread that has stopped.
        MutexLock pendingLock(pending->mutex);
        pending->cancelled = stopping_.load();
    }
    std::weak_ptr<Handler> handler = weakHandler_;
    queue_.post([handler, pending, caller, line = std::move(line)] {
        auto run = handler.lock();
        std::string reply = run ? (*run)(line, caller) : std::string();
        MutexLock lock(pending->mutex);
        pending->reply = std::move(reply);
        pending->done.notify_all();
    });
    std::string reply;
    {
        MutexLock lock(pending->mutex);
        pending->done.wait_for(lock.native(), options_.answerTimeout,
                               [&]() VORLA_REQUIRES(pending->mutex) {
                                   return pending->reply.has_value() || pending->cancelled;
                               });
        if (pending->reply && !pending->reply->empty()) {
            reply = std::move(*pending->reply);
        } else {
            reply = controlFailure("busy", pending->cancelled ? "the app is shutting down"
                                                              : "the app did not answer in time")
                        .dump();
        }
    }
    MutexLock guard(mutex_);
    pending_.erase(pending);
    return reply;
}

}  // namespace vorla
