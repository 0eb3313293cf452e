// SHA-256 as lowercase hex: for identities another program checks (Codex's
// trusted hooks) and for keys that must not collide by accident or by design
// (the usage cache's window key). Plain values; one Sha256 per thread.
#pragma once

#include <nettle/sha2.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace vorla {

// A digest fed in pieces, so long inputs need not be joined first.
class Sha256 {
  public:
    Sha256();
    Sha256& add(std::string_view bytes);
    // 64 lowercase hex digits of everything added.
    [[nodiscard]] std::string hex();

  private:
    sha256_ctx context_{};
};

[[nodiscard]] std::string sha256Hex(std::string_view text);
// The digest of the parts one after the other.
[[nodiscard]] std::string sha256Hex(std::initializer_list<std::string_view> parts);

}  // namespace vorla
