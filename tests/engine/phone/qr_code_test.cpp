// The QR matrix must decode, with a real reader, to exactly the pairing
// address, both as an image and as drawn in a terminal.
#include "engine/phone/qr_code.h"

#include <gtest/gtest.h>

#include <fstream>

#include "engine/phone/remote_approval.h"
#include "engine/support/main_queue.h"
#include "support/child_process.h"
#include "support/temp_home.h"

namespace vorla::phone {
namespace {

// Light = true: a grid of what a camera would see.
using Picture = std::vector<std::vector<bool>>;

Picture fromMatrix(const QRMatrix& matrix) {
    constexpr int kQuiet = 4;
    Picture picture;
    for (int y = -kQuiet; y < matrix.size + kQuiet; ++y) {
        std::vector<bool> row;
        for (int x = -kQuiet; x < matrix.size + kQuiet; ++x) {
            row.push_back(!matrix.dark(x, y));
        }
        picture.push_back(row);
    }
    return picture;
}

// Reads the half blocks back: a block is light, a blank is dark.
Picture fromTerminal(const std::string& text) {
    Picture picture;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end - start);
        start = end + 1;
        std::vector<bool> top;
        std::vector<bool> bottom;
        for (std::size_t i = 0; i < line.size();) {
            if (line[i] == '\x1b') {
                i = line.find('m', i) + 1;
            } else if (line[i] == ' ') {
                top.push_back(false);
                bottom.push_back(false);
                ++i;
            } else {
                std::string glyph = line.substr(i, 3);
                top.push_back(glyph == "\u2588" || glyph == "\u2580");
                bottom.push_back(glyph == "\u2588" || glyph == "\u2584");
                i += 3;
            }
        }
        picture.push_back(top);
        picture.push_back(bottom);
    }
    // Light margin around the drawing, as the terminal's surroundings would
    // not be; a camera needs it to find the code.
    std::size_t width = picture.empty() ? 0 : picture[0].size();
    Picture framed(2, std::vector<bool>(width + 4, true));
    for (auto& row : picture) {
        row.insert(row.begin(), {true, true});
        row.insert(row.end(), {true, true});
        framed.push_back(row);
    }
    framed.insert(framed.end(), 2, std::vector<bool>(width + 4, true));
    return framed;
}

std::string decode(const Picture& picture, const std::string& path) {
    constexpr int kScale = 6;
    std::ofstream out(path, std::ios::binary);
    out << "P5\n" << picture[0].size() * kScale << " " << picture.size() * kScale << "\n255\n";
    for (const auto& row : picture) {
        for (int s = 0; s < kScale; ++s) {
            for (bool light : row) {
                for (int k = 0; k < kScale; ++k) {
                    out.put(light ? static_cast<char>(255) : static_cast<char>(0));
                }
            }
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
    remote.enable();
    ASSERT_TRUE(remote.enabled());
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
