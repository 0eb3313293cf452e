// The pure pieces of the phone page: token, request parsing, page text.
#include <gtest/gtest.h>

#include <deque>

#include "engine/phone/http_message.h"
#include "engine/phone/page.h"
#include "engine/phone/token.h"

namespace vorla::phone {
namespace {

TEST(Token, freshFromTheAlphabetWithoutModuloBias) {
    std::string a = makeToken();
    EXPECT_EQ(a.size(), 32U);
    EXPECT_EQ(a.find_first_not_of(kTokenAlphabet), std::string::npos);
    EXPECT_NE(a, makeToken());

    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    // 2^64 = 36 * q + 16: draws in the incomplete last block (the 16 largest
    // values) are rejected.
    std::deque<std::uint64_t> draws = {kMax, kMax - 15, kMax - 16, 37};
    auto next = [&] {
        std::uint64_t v = draws.front();
        draws.pop_front();
        return v;
    };
    EXPECT_EQ(uniformIndex(next), (kMax - 16) % 36);
    EXPECT_EQ(uniformIndex(next), 1U);
    EXPECT_TRUE(draws.empty());
}

TEST(HttpMessage, requestLineAndParameters) {
    EXPECT_EQ(parseRequestLine("\r\nGET  /a?b HTTP/1.1\r\nHost: x")->target, "/a?b");
    EXPECT_FALSE(parseRequestLine(""));
    EXPECT_EQ(parameter("id", "/decide?id=&id=G2"), "G2");
    EXPECT_EQ(parameter("id", "/decide?ids=1&id=a=b"), "a=b");
    EXPECT_EQ(parameter("a", "/decide?id=G1&a=%41"), "%41");  // taken literally
    EXPECT_FALSE(parameter("a", "/decide?id=G1&a"));
    EXPECT_FALSE(authorised("/x?t=", ""));  // no token while the server is off
}

TEST(Page, aQuoteInAGateIdentifierCannotBreakOutOfTheHandler) {
    GateCard gate{"x');alert(1);//\"", "Agent", "t", "", Risk::normal, {}, ""};
    std::string html = card(gate);
    EXPECT_NE(html.find("d('x\\');alert(1);//&quot;','deny')"), std::string::npos);
}

}  // namespace
}  // namespace vorla::phone
