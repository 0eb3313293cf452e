#include "engine/phone/http_message.h"

#include <openssl/crypto.h>

#include "core/text.h"

namespace vorla::phone {

namespace {

std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        pieces.push_back(text.substr(start, end - start));
        start = end + separator.size();
    }
    return pieces;
}

std::vector<std::string_view> nonEmpty(std::vector<std::string_view> pieces) {
    std::erase_if(pieces, [](std::string_view piece) { return piece.empty(); });
    return pieces;
}

}  // namespace

std::optional<HttpRequest> parseRequest(std::string_view request) {
    std::vector<std::string_view> lines = split(request, "\r\n");
    auto line = lines.begin();
    while (line != lines.end() && line->empty()) {
        ++line;
    }
    if (line == lines.end()) {
        return std::nullopt;
    }
    auto pieces = nonEmpty(split(*line, " "));
    if (pieces.size() < 2) {
        return std::nullopt;
    }
    HttpRequest parsed{std::string(pieces[0]), std::string(pieces[1]), {}};
    for (++line; line != lines.end() && !line->empty(); ++line) {
        std::size_t colon = line->find(':');
        if (colon != std::string_view::npos) {
            parsed.headers.emplace_back(asciiLower(line->substr(0, colon)),
                                        std::string(trimmed(line->substr(colon + 1))));
        }
    }
    return parsed;
}

std::vector<std::string> headerValues(const HttpRequest& request, std::string_view name) {
    std::vector<std::string> values;
    for (const auto& [key, value] : request.headers) {
        if (key == name) {
            values.push_back(value);
        }
    }
    return values;
}

std::optional<std::map<std::string, std::string>> queryParameters(std::string_view target) {
    std::map<std::string, std::string> parameters;
    std::size_t question = target.find('?');
    if (question == std::string_view::npos) {
        return parameters;
    }
    for (std::string_view piece : nonEmpty(split(target.substr(question + 1), "&"))) {
        std::size_t equals = piece.find('=');
        std::string name(piece.substr(0, equals));
        std::string value(equals == std::string_view::npos ? "" : piece.substr(equals + 1));
        if (!parameters.emplace(std::move(name), std::move(value)).second) {
            return std::nullopt;
        }
    }
    return parameters;
}

std::optional<std::string> parameter(const std::map<std::string, std::string>& parameters,
                                     const std::string& name) {
    auto found = parameters.find(name);
    if (found == parameters.end() || found->second.empty()) {
        return std::nullopt;
    }
    return found->second;
}

bool authorised(const std::map<std::string, std::string>& parameters, std::string_view token) {
    auto given = parameters.find("t");
    if (token.empty() || given == parameters.end() || given->second.size() != token.size()) {
        return false;  // the length is no secret: every token has 32 characters
    }
    return CRYPTO_memcmp(given->second.data(), token.data(), token.size()) == 0;
}

HttpResponse badRequest() {
    return {"400 Bad Request", "text/plain", "bad"};
}
HttpResponse unauthorised() {
    return {"401 Unauthorized", "text/plain", "no"};
}
HttpResponse forbidden() {
    return {"403 Forbidden", "text/plain", "no"};
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
