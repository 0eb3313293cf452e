#include "engine/phone/http_message.h"

#include <vector>

namespace vorla::phone {

namespace {

std::vector<std::string_view> split(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(separators, start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (end > start) {
            pieces.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return pieces;
}

}  // namespace

std::optional<RequestLine> parseRequestLine(std::string_view request) {
    std::string_view line;
    std::size_t start = 0;
    while (start < request.size()) {
        std::size_t end = request.find("\r\n", start);
        if (end == std::string_view::npos) {
            end = request.size();
        }
        if (end > start) {
            line = request.substr(start, end - start);
            break;
        }
        start = end + 2;
    }
    auto pieces = split(line, " ");
    if (pieces.size() < 2) {
        return std::nullopt;
    }
    return RequestLine{std::string(pieces[0]), std::string(pieces[1])};
}

bool authorised(std::string_view target, std::string_view token) {
    return !token.empty() && target.find("t=" + std::string(token)) != std::string_view::npos;
}

std::optional<std::string> parameter(std::string_view name, std::string_view target) {
    for (std::string_view piece : split(target, "?&")) {
        std::size_t equals = piece.find('=');
        if (equals == std::string_view::npos || equals + 1 == piece.size()) {
            continue;
        }
        if (piece.substr(0, equals) == name) {
            return std::string(piece.substr(equals + 1));
        }
    }
    return std::nullopt;
}

HttpResponse badRequest() {
    return {"400 Bad Request", "text/plain", "bad"};
}
HttpResponse unauthorised() {
    return {"401 Unauthorized", "text/plain", "no"};
}
HttpResponse ok(std::string body, std::string contentType) {
    return {"200 OK", std::move(contentType), std::move(body)};
}

std::string serialize(const HttpResponse& response) {
    return "HTTP/1.1 " + response.status + "\r\nContent-Type: " + response.contentType +
           "\r\nContent-Length: " + std::to_string(response.body.size()) +
           "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + response.body;
}

}  // namespace vorla::phone
