// The QR code of a text as a square module matrix (error correction level M,
// via libqrencode), and a terminal rendering of it. Drawing it as an image is
// the UI's business. Pure functions; safe from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::phone {

struct QRMatrix {
    int size = 0;                       // modules per side, without a quiet zone
    std::vector<std::uint8_t> modules;  // row-major, 1 = dark

    [[nodiscard]] bool dark(int x, int y) const {
        return x >= 0 && y >= 0 && x < size && y < size &&
               modules[static_cast<std::size_t>(y) * static_cast<std::size_t>(size) +
                       static_cast<std::size_t>(x)] != 0;
    }
};

// Encodes the UTF-8 bytes of `text`; nullopt when the encoder produces nothing
// (for instance a text too long for any QR version).
[[nodiscard]] std::optional<QRMatrix> qrMatrix(std::string_view text);

// Half-block characters, two module rows per line, with a two-module quiet
// zone. Light modules are drawn in bright white on a black background (set
// with ANSI colours), so the code scans on light and dark terminals alike.
[[nodiscard]] std::string terminalBlocks(const QRMatrix& matrix);

}  // namespace vorla::phone
