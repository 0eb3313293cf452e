#include "engine/phone/token.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace vorla::phone {

std::uint64_t secureRandom64() {
    std::uint64_t value = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(&value);
    std::size_t have = 0;
    while (have < sizeof value) {
        ssize_t n = ::getrandom(bytes + have, sizeof value - have, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            // No kernel randomness means no safe token; a guessable one would
            // let anyone on the network approve tool calls.
            std::abort();
        }
        have += static_cast<std::size_t>(n);
    }
    return value;
}

unsigned uniformIndex(const std::function<std::uint64_t()>& random) {
    constexpr std::uint64_t kCount = kTokenAlphabet.size();
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    // 2^64 is not a multiple of 36: the values of the incomplete last block
    // would favour the first letters, so they are drawn again.
    constexpr std::uint64_t kIncomplete = (kMax % kCount + 1) % kCount;
    constexpr std::uint64_t kLastAccepted = kMax - kIncomplete;
    for (;;) {
        std::uint64_t value = random();
        if (value <= kLastAccepted) {
            return static_cast<unsigned>(value % kCount);
        }
    }
}

std::string makeToken(const std::function<std::uint64_t()>& random) {
    std::string token;
    token.reserve(kTokenLength);
    for (std::size_t i = 0; i < kTokenLength; ++i) {
        token += kTokenAlphabet[uniformIndex(random)];
    }
    return token;
}

}  // namespace vorla::phone
