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

namespace {

// Bytes in the sequence a lead byte starts; 0 for a byte that cannot lead.
int sequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

}  // namespace

bool isValidUTF8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        auto lead = static_cast<unsigned char>(text[i]);
        int length = sequenceLength(lead);
        if (length == 0 || i + static_cast<std::size_t>(length) > text.size()) {
            return false;
        }
        for (int k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0U) != 0x80U) {
                return false;
            }
        }
        auto second = length > 1 ? static_cast<unsigned char>(text[i + 1]) : 0;
        // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
            (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
            return false;
        }
        i += static_cast<std::size_t>(length);
    }
    return true;
}

std::size_t withoutCutCharacter(std::string_view text) {
    std::size_t end = text.size();
    // Look back over at most three continuation bytes for the lead byte.
    for (std::size_t back = 1; back <= 4 && back <= end; ++back) {
        auto byte = static_cast<unsigned char>(text[end - back]);
        if ((byte & 0xC0U) == 0x80U) {
            continue;
        }
        int length = sequenceLength(byte);
        return length > static_cast<int>(back) ? end - back : end;
    }
    return end;
}

}  // namespace vorla::phone
