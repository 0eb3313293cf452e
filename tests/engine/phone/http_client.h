// A bare TCP client for the phone server tests: what a browser sends, byte for
// byte, and everything it gets back until the server closes.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>

namespace vorla::test {

struct RawExchange {
    std::string received;
    bool closedByServer = false;  // false: our read timed out first
};

// Connects to 127.0.0.1:port, sends `bytes` (nothing when empty), then reads
// until the server closes or `timeout` passes.
RawExchange tcpExchange(std::uint16_t port, const std::string& bytes,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10));

struct HttpReply {
    std::string statusLine;  // "HTTP/1.1 200 OK"
    std::map<std::string, std::string> headers;
    std::string body;
};

HttpReply parseReply(const std::string& raw);

}  // namespace vorla::test
