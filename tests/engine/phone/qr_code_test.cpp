// The QR matrix must decode, with a real reader, to exactly the pairing
// address, both as an image and as drawn in a terminal.
#include "engine/phone/qr_code.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/phone/remote_approval.h"
#include "engine/support/main_queue.h"
#include "support/child_process.h"
#include "support/temp_home.h"

namespace vorla::phone {
namespace {

// Light = true: a grid of what a camera would see.
using Picture = std::vector<std::vector<bool>>;

Picture fromMatrix(const QRMatrix& matrix) {
    Picture picture(static_cast<std::size_t>(matrix.size));
    for (int y = 0; y < matrix.size; ++y) {
        for (int x = 0; x < matrix.size; ++x) {
            picture[static_cast<std::size_t>(y)].push_back(!matrix.dark(x, y));
        }
    }
    return picture;
}

// Reads the half blocks back: a block is light, a blank is dark.
Picture fromTerminal(const std::string& text) {
    Picture picture;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<bool> top;
        std::vector<bool> bottom;
        for (std::size_t i = 0; i < line.size();) {
            if (line[i] == '\x1b') {
                i = line.find('m', i) + 1;
                continue;
            }
            std::string glyph = line.substr(i, line[i] == ' ' ? 1 : 3);
            top.push_back(glyph == "\u2588" || glyph == "\u2580");
            bottom.push_back(glyph == "\u2588" || glyph == "\u2584");
            i += glyph.size();
        }
        picture.push_back(top);
        picture.push_back(bottom);
    }
    return picture;
}

// Writes the picture with a light margin (a camera needs one to find the
// code) as a scaled-up PGM and reads it with zbarimg.
std::string decode(const Picture& picture, const std::string& path) {
    constexpr std::size_t kScale = 6;
    constexpr std::size_t kMargin = 4;
    std::size_t width = picture[0].size() + 2 * kMargin;
    std::size_t height = picture.size() + 2 * kMargin;
    std::ofstream out(path, std::ios::binary);
    out << "P5\n" << width * kScale << " " << height * kScale << "\n255\n";
    for (std::size_t y = 0; y < height * kScale; ++y) {
        for (std::size_t x = 0; x < width * kScale; ++x) {
            std::size_t row = y / kScale - kMargin;  // wraps around outside the picture
            std::size_t column = x / kScale - kMargin;
            bool light =
                row >= picture.size() || column >= picture[row].size() || picture[row][column];
            out.put(light ? static_cast<char>(255) : static_cast<char>(0));
        }
    }
    out.close();
    test::ChildOptions options;
    options.args = {"/usr/bin/zbarimg", "--raw", "-q", path};
    auto result = test::runChild(options);
    EXPECT_EQ(result.exitCode, 0) << "zbarimg (Debian zbar-tools) failed or is missing: "
                                  << result.err;
    return result.out;
}

TEST(QRCode, theMatrixDecodesToThePairingAddress) {
    test::TempHome home;
    LoopMainQueue queue;
    RemoteApproval remote(queue, 0);
    ASSERT_TRUE(remote.enable());
    auto matrix = remote.qrCode();
    ASSERT_TRUE(matrix);
    EXPECT_EQ(matrix->size % 4, 1);  // 21, 25, 29 ... modules

    EXPECT_EQ(decode(fromMatrix(*matrix), home.file("code.pgm")), remote.pairingURL() + "\n");
    EXPECT_EQ(decode(fromTerminal(terminalBlocks(*matrix)), home.file("terminal.pgm")),
              remote.pairingURL() + "\n");
}

TEST(QRCode, textsBeyondTheLargestCodeGiveNothing) {
    EXPECT_FALSE(qrMatrix(std::string(4000, 'x')));
    EXPECT_TRUE(qrMatrix("x"));
}

}  // namespace
}  // namespace vorla::phone
