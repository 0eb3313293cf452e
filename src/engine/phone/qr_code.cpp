#include "engine/phone/qr_code.h"

#include <qrencode.h>

#include <memory>

namespace vorla::phone {

std::optional<QRMatrix> qrMatrix(std::string_view text) {
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(static_cast<int>(text.size()),
                          reinterpret_cast<const unsigned char*>(text.data()), 0, QR_ECLEVEL_M),
        &QRcode_free);
    if (!code || code->width <= 0) {
        return std::nullopt;
    }
    QRMatrix matrix;
    matrix.size = code->width;
    std::size_t count =
        static_cast<std::size_t>(code->width) * static_cast<std::size_t>(code->width);
    matrix.modules.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        matrix.modules[i] = code->data[i] & 1U;  // bit 0 is the module's colour
    }
    return matrix;
}

std::string terminalBlocks(const QRMatrix& matrix) {
    constexpr int kQuiet = 2;
    constexpr const char* kColours = "\x1b[40;97m";  // black background, bright white blocks
    constexpr const char* kReset = "\x1b[0m";
    std::string out;
    for (int y = -kQuiet; y < matrix.size + kQuiet; y += 2) {
        out += kColours;
        for (int x = -kQuiet; x < matrix.size + kQuiet; ++x) {
            bool topLight = !matrix.dark(x, y);
            bool bottomLight = y + 1 < matrix.size + kQuiet && !matrix.dark(x, y + 1);
            if (topLight && bottomLight) {
                out += "\u2588";
            } else if (topLight) {
                out += "\u2580";
            } else if (bottomLight) {
                out += "\u2584";
            } else {
                out += ' ';
            }
        }
        out += kReset;
        out += '\n';
    }
    return out;
}

}  // namespace vorla::phone
