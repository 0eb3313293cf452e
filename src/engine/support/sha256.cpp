#include "engine/support/sha256.h"

#include <array>
#include <cstdint>

namespace vorla {

Sha256::Sha256() {
    sha256_init(&context_);
}

Sha256& Sha256::add(std::string_view bytes) {
    sha256_update(&context_, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    return *this;
}

std::string Sha256::hex() {
    std::array<std::uint8_t, SHA256_DIGEST_SIZE> digest{};
    sha256_digest(&context_, digest.size(), digest.data());
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * digest.size());
    for (std::uint8_t byte : digest) {
        hex += kHex[byte >> 4];
        hex += kHex[byte & 0x0f];
    }
    return hex;
}

std::string sha256Hex(std::string_view text) {
    return Sha256().add(text).hex();
}

std::string sha256Hex(std::initializer_list<std::string_view> parts) {
    Sha256 digest;
    for (std::string_view part : parts) {
        digest.add(part);
    }
    return digest.hex();
}

}  // namespace vorla
