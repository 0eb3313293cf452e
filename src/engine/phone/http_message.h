// The small piece of HTTP the phone page needs: the request line, query
// parameters taken literally, the token check and whole responses. Pure
// functions; safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorla::phone {

inline constexpr std::size_t kMaxRequestBytes = 16384;

struct RequestLine {
    std::string method;
    std::string target;  // path and query as sent, undecoded
};

// The first non-empty CRLF-separated line split at spaces; nullopt when it
// has fewer than two pieces.
[[nodiscard]] std::optional<RequestLine> parseRequestLine(std::string_view request);

// The target holds "t=" followed by the token, anywhere. An empty token (the
// server is off) matches nothing.
[[nodiscard]] bool authorised(std::string_view target, std::string_view token);

// The value of `name` among the "?"- and "&"-separated pieces of the target:
// the first "name=value" with a non-empty value. No percent-decoding.
[[nodiscard]] std::optional<std::string> parameter(std::string_view name, std::string_view target);

struct HttpResponse {
    std::string status;  // "200 OK"
    std::string contentType;
    std::string body;
    friend bool operator==(const HttpResponse&, const HttpResponse&) = default;
};

HttpResponse badRequest();
HttpResponse unauthorised();
HttpResponse ok(std::string body, std::string contentType = "text/plain");

// Header and body as sent; Content-Length counts the body's bytes.
[[nodiscard]] std::string serialize(const HttpResponse& response);

}  // namespace vorla::phone
