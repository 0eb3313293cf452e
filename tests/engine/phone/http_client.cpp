#include "http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <stdexcept>

namespace vorla::test {

RawExchange tcpExchange(std::uint16_t port, const std::string& bytes,
                        std::chrono::milliseconds timeout) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        throw std::runtime_error("connect to port " + std::to_string(port) + " failed");
    }
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(n);
    }
    RawExchange result;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::array<char, 65536> chunk{};
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        ssize_t n = ::recv(fd, chunk.data(), chunk.size(), 0);
        if (n <= 0) {
            result.closedByServer = true;
            break;
        }
        result.received.append(chunk.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    return result;
}

HttpReply parseReply(const std::string& raw) {
    HttpReply reply;
    std::size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos) {
        return reply;
    }
    std::string head = raw.substr(0, end);
    reply.body = raw.substr(end + 4);
    std::size_t start = 0;
    bool first = true;
    while (start <= head.size()) {
        std::size_t stop = head.find("\r\n", start);
        std::string line =
            head.substr(start, stop == std::string::npos ? std::string::npos : stop - start);
        if (first) {
            reply.statusLine = line;
            first = false;
        } else if (auto colon = line.find(": "); colon != std::string::npos) {
            reply.headers[line.substr(0, colon)] = line.substr(colon + 2);
        }
        if (stop == std::string::npos) {
            break;
        }
        start = stop + 2;
    }
    return reply;
}

}  // namespace vorla::test
