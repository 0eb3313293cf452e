#include "support/line_listener.h"

#include <sys/socket.h>
#include <unistd.h>

#include "core/protocol.h"
#include "core/unix_socket.h"

namespace vorla::test {

LineListener::LineListener(std::string path, Responder responder)
    : path_(std::move(path)), responder_(std::move(responder)) {
    fd_ = UnixSocket::listen(path_, 64);
    thread_ = std::thread([this] { serve(); });
}

LineListener::~LineListener() {
    ::shutdown(fd_, SHUT_RDWR);  // wakes accept()
    thread_.join();
    ::close(fd_);
    ::unlink(path_.c_str());
}

void LineListener::serve() {
    for (;;) {
        int client = ::accept(fd_, nullptr, nullptr);
        if (client < 0) {
            return;
        }
        try {
            auto line = UnixSocket::readLine(client, kMaxEventLineBytes);
            if (line) {
                {
                    std::lock_guard lock(mutex_);
                    lines_.push_back(*line);
                }
                arrived_.notify_all();
                if (auto reply = responder_(*line)) {
                    UnixSocket::writeLine(client, *reply);
                }
            }
        } catch (const UnixSocket::Error&) {
        }
        ::close(client);
    }
}

std::vector<std::string> LineListener::waitForLines(std::size_t count,
                                                    std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, timeout, [&] { return lines_.size() >= count; });
    return lines_;
}

}  // namespace vorla::test
