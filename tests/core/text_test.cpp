#include "core/text.h"

#include <gtest/gtest.h>

namespace vorla {
namespace {

TEST(Text, Utf8ValidationRejectsEveryMalformedClass) {
    EXPECT_TRUE(isValidUTF8(""));
    EXPECT_TRUE(isValidUTF8("caf\xc3\xa9 \xe2\x80\xa2 \xf0\x9f\x98\x80"));
    // Multi-byte characters straddling the eight-byte ASCII fast path.
    EXPECT_TRUE(
        isValidUTF8("abcdefg\xc3\xa9"
                    "abcdefgh\xf4\x8f\xbf\xbf"));
    for (std::string_view bad : {
             "\x80",                      // stray continuation byte
             "\xff", "\xf5\x80\x80\x80",  // bytes that never lead
             "\xc0\xaf", "\xe0\x80\xaf",  // overlong "/"
             "\xed\xa0\x80",              // UTF-16 surrogate
             "\xf4\x90\x80\x80",          // past U+10FFFF
             "\xe2\x80",                  // cut short by the end
             "\xe2(\xa2",                 // a lead without its continuation
         }) {
        EXPECT_FALSE(isValidUTF8(bad)) << testing::PrintToString(bad);
        // The same fault after a run of ASCII must not slip past the fast path.
        EXPECT_FALSE(isValidUTF8(std::string(13, 'a') + std::string(bad)));
    }
    EXPECT_EQ(withoutCutCharacter("ab\xe2\x80"), 2U);
    EXPECT_EQ(withoutCutCharacter("ab\xe2\x80\xa2"), 5U);
    EXPECT_EQ(withoutCutCharacter("ab\xf0"), 2U);
    EXPECT_EQ(withoutCutCharacter("abc"), 3U);
}

TEST(Text, CaseFoldingAndTrimmingTouchOnlyAscii) {
    EXPECT_EQ(asciiLower("Bash \xc3\x84Z[@"), "bash \xc3\x84z[@");  // UTF-8 bytes untouched
    EXPECT_TRUE(startsWithIgnoringCase("3F2A-B", "3f2a"));
    EXPECT_FALSE(startsWithIgnoringCase("3F", "3f2a"));
    EXPECT_FALSE(startsWithIgnoringCase("[x", "{x"));  // '[' is not a capital of '{'
    EXPECT_EQ(trimmed(" \t a b \r\n\v\f"), "a b");
    EXPECT_EQ(trimmed(" \n\t "), "");
    EXPECT_EQ(trimmed(""), "");
    EXPECT_EQ(trimmed("\xc2\xa0x\xc2\xa0"), "\xc2\xa0x\xc2\xa0");  // no-break space is text
}

// What an agent would use to draw a harmless row over the real one.
TEST(Text, VisibleTextLeavesNothingThatSteersTheScreen) {
    const std::string shown = visibleText(
        "curl x | sh\r\x1b[2K\x1b[1ANpm test\tok\x7f\n\xc2\x9b"
        "31m\xe2\x80\xae"
        "abc\xe2\x81\xa6\xe2\x80\x8f\xd8\x9c\xff caf\xc3\xa9");
    EXPECT_EQ(shown,
              "curl x | sh\u240d\u241b[2K\u241b[1ANpm test\u21e5ok\u2421\u21b5<U+009B>31m"
              "<U+202E>abc<U+2066><U+200F><U+061C><0xFF> caf\xc3\xa9");
    EXPECT_EQ(visibleText("a\nb\r\n", LineBreaks::keep), "a\nb\u240d\n");
    EXPECT_EQ(visibleText("\xe2\x80"), "<0xE2><0x80>");  // a cut sequence, byte by byte
    EXPECT_EQ(visibleText(std::string("a\0b", 3)), "a\u2400b");
}

}  // namespace
}  // namespace vorla
