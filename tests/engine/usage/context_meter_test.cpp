#include "engine/usage/context_meter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/temp_home.h"

namespace vorla {
namespace {

std::string usageLine(long input, long cacheRead, long cacheWrite, long output = 7) {
    return R"({"type":"assistant","message":{"role":"assistant","usage":{"input_tokens":)" +
           std::to_string(input) + R"(,"cache_read_input_tokens":)" + std::to_string(cacheRead) +
           R"(,"cache_creation_input_tokens":)" + std::to_string(cacheWrite) +
           R"(,"output_tokens":)" + std::to_string(output) + "}}}\n";
}

const std::string kUserLine = R"({"type":"user","message":{"role":"user","content":"go on"}})"
                              "\n";

class ContextMeterTest : public ::testing::Test {
  protected:
    std::string write(const std::string& name, const std::string& contents) {
        home.write(name, contents);
        return home.file(name);
    }
    test::TempHome home;
};

// The sum itself is checked through the session store.
TEST_F(ContextMeterTest, TakesTheLastUsableUsageAndSkipsZeroAndBrokenLines) {
    auto path = write("t.jsonl", usageLine(5, 5, 5) + usageLine(10, 20, 30) + "{not json\n" +
                                     R"({"message":{"usage":{"input_tokens":"12"}}})"
                                     "\n" +
                                     usageLine(0, 0, 0) + kUserLine + "\n\n");
    EXPECT_EQ(ContextMeter::parse(path, 1000), (ContextUsage{60, 1000}));
    EXPECT_EQ(ContextMeter::parse(write("u.jsonl", kUserLine), 1000), std::nullopt);
    EXPECT_EQ(ContextMeter::parse(write("e.jsonl", ""), 1000), std::nullopt);
    EXPECT_EQ(ContextMeter::parse(home.file("missing.jsonl"), 1000), std::nullopt);
}

// The 128 KiB cut lands inside a multi-byte character: the partial first line
// is dropped, so the rest still reads. A cut exactly at a line's start drops
// nothing.
TEST_F(ContextMeterTest, TheTailCutDropsOnlyAPartialFirstLine) {
    const std::string only = usageLine(1, 2, 3);
    const std::string atLineStart =
        kUserLine + only + std::string(ContextMeter::kTailBytes - only.size(), '\n');
    EXPECT_EQ(ContextMeter::parse(write("s.jsonl", atLineStart), 10), (ContextUsage{6, 10}));

    std::string euroLine = R"({"type":"user","message":{"content":")";
    for (int i = 0; i < 200; ++i) {
        euroLine += "€";  // three bytes each
    }
    euroLine += "\"}}\n";
    std::string tail = usageLine(100, 200, 300) + kUserLine;
    std::string body;
    while (body.size() + tail.size() < ContextMeter::kTailBytes + 1000) {
        body += euroLine;
    }
    body += tail;
    // Trailing empty lines move the cut forward until it falls on a
    // continuation byte of a "€".
    auto cutByte = [&] {
        return static_cast<unsigned char>(body[body.size() - ContextMeter::kTailBytes]);
    };
    while ((cutByte() & 0xC0) != 0x80) {
        body += "\n";
    }
    EXPECT_EQ(ContextMeter::parse(write("t.jsonl", body), 200000), (ContextUsage{600, 200000}));
}

TEST_F(ContextMeterTest, ReadCachesByModificationTimeAndSize) {
    auto path = write("t.jsonl", usageLine(1, 1, 1));
    auto before = ContextMeter::parseCount();
    EXPECT_EQ(ContextMeter::read(path, 100), (ContextUsage{3, 100}));
    EXPECT_EQ(ContextMeter::read(path, 500), (ContextUsage{3, 100}));  // the cached limit
    EXPECT_EQ(ContextMeter::parseCount(), before + 1);

    std::ofstream(path, std::ios::app) << usageLine(2, 2, 2);
    EXPECT_EQ(ContextMeter::read(path, 500), (ContextUsage{6, 500}));
    EXPECT_EQ(ContextMeter::parseCount(), before + 2);

    auto missing = home.file("gone.jsonl");
    EXPECT_EQ(ContextMeter::read(missing, 100), std::nullopt);
    EXPECT_EQ(ContextMeter::parseCount(), before + 2);  // nothing parsed, nothing cached
}

}  // namespace
}  // namespace vorla
