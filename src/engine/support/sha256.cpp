#include "engine/support/sha256.h"

#include <nettle/sha2.h>

#include <array>
#include <cstdint>

namespace vorla {

std::string sha256Hex(std::string_view text) {
    return sha256Hex({text});
}

std::string sha256Hex(std::initializer_list<std::string_view> parts) {
    sha256_ctx context{};
    sha256_init(&context);
    for (std::string_view part : parts) {
        sha256_update(&context, part.size(), reinterpret_cast<const std::uint8_t*>(part.data()));
    }
    std::array<std::uint8_t, SHA256_DIGEST_SIZE> digest{};
    sha256_digest(&context, digest.size(), digest.data());
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * digest.size());
    for (std::uint8_t byte : digest) {
        hex += kHex[byte >> 4];
        hex += kHex[byte & 0x0f];
    }
    return hex;
}

}  // namespace vorla
