// The pairing token: 32 characters from a-z0-9, each uniform, drawn from the
// kernel's cryptographic random source. Safe from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vorla::phone {

inline constexpr std::string_view kTokenAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
inline constexpr std::size_t kTokenLength = 32;

// 64-bit values from getrandom(2).
[[nodiscard]] std::uint64_t secureRandom64();

// A value 0..35 without modulo bias: draws that fall in the incomplete last
// block of 36 are rejected and drawn again.
[[nodiscard]] unsigned uniformIndex(const std::function<std::uint64_t()>& random);

// A fresh token from `random` (the kernel's source unless a test gives one).
[[nodiscard]] std::string makeToken(const std::function<std::uint64_t()>& random = secureRandom64);

}  // namespace vorla::phone
