// The small piece of HTTP the phone page needs: the request line and headers,
// query parameters taken literally, the token check and whole responses. Pure
// functions; safe from any thread.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorla::phone {

inline constexpr std::size_t kMaxRequestBytes = 16384;

struct HttpRequest {
    std::string method;
    std::string target;  // path and query as sent, undecoded
    // In the order sent; names in lower case, values without surrounding blanks.
    std::vector<std::pair<std::string, std::string>> headers;
};

// The first non-empty CRLF-separated line split at spaces, then the header
// lines up to the first empty one (lines without a colon are skipped);
// nullopt when the request line has fewer than two pieces.
[[nodiscard]] std::optional<HttpRequest> parseRequest(std::string_view request);

// Every value of the header `name` (lower case), in the order sent.
[[nodiscard]] std::vector<std::string> headerValues(const HttpRequest& request,
                                                    std::string_view name);

// The "&"-separated "name=value" pieces after the target's first "?", taken
// literally (no percent-decoding); a piece without "=" has an empty value.
// nullopt when a name comes twice: which one counts would be a guess, and a
// crafted gate id could smuggle a second "a" past the page's own.
[[nodiscard]] std::optional<std::map<std::string, std::string>> queryParameters(
    std::string_view target);

// The non-empty value of `name`, if any.
[[nodiscard]] std::optional<std::string> parameter(
    const std::map<std::string, std::string>& parameters, const std::string& name);

// The "t" parameter equals the token, compared in constant time. An empty
// token (the server is off) matches nothing.
[[nodiscard]] bool authorised(const std::map<std::string, std::string>& parameters,
                              std::string_view token);

struct HttpResponse {
    std::string status;  // "200 OK"
    std::string contentType;
    std::string body;
    friend bool operator==(const HttpResponse&, const HttpResponse&) = default;
};

HttpResponse badRequest();
HttpResponse unauthorised();
// A request for another host or from another page's origin.
HttpResponse forbidden();
HttpResponse ok(std::string body, std::string contentType = "text/plain");

// Header and body as sent; Content-Length counts the body's bytes.
[[nodiscard]] std::string serialize(const HttpResponse& response);

}  // namespace vorla::phone
