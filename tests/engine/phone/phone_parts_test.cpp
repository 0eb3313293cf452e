// The pure pieces of the phone page: token, request parsing, page text.
#include <gtest/gtest.h>

#include <deque>

#include "engine/phone/http_message.h"
#include "engine/phone/page.h"
#include "engine/phone/token.h"

namespace vorla::phone {
namespace {

TEST(Token, thirtyTwoCharactersFromTheAlphabetAndFreshEachTime) {
    std::string a = makeToken();
    EXPECT_EQ(a.size(), 32U);
    EXPECT_EQ(a.find_first_not_of(kTokenAlphabet), std::string::npos);
    EXPECT_NE(a, makeToken());
}

TEST(Token, drawsInTheIncompleteLastBlockAreRejected) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    // 2^64 = 36 * q + 16: the 16 largest values are rejected.
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
    EXPECT_FALSE(parseRequestLine("GET\r\n\r\n"));
    EXPECT_FALSE(parseRequestLine(""));
    EXPECT_EQ(parameter("id", "/decide?t=x&id=G1&a=allow"), "G1");
    EXPECT_EQ(parameter("id", "/decide?id=&id=G2"), "G2");
    EXPECT_EQ(parameter("id", "/decide?ids=1&id=a=b"), "a=b");
    EXPECT_EQ(parameter("a", "/decide?id=G1&a=%41"), "%41");  // taken literally
    EXPECT_FALSE(parameter("a", "/decide?id=G1&a"));
    EXPECT_TRUE(authorised("/x?y=1&t=abc", "abc"));
    EXPECT_FALSE(authorised("/x?t=", ""));
}

TEST(HttpMessage, utf8ValidationAndCutCharacters) {
    EXPECT_TRUE(isValidUTF8("caf\xc3\xa9 \xe2\x80\xa2 \xf0\x9f\x98\x80"));
    EXPECT_FALSE(isValidUTF8("\xff"));
    EXPECT_FALSE(isValidUTF8("\xc0\xaf"));      // overlong "/"
    EXPECT_FALSE(isValidUTF8("\xed\xa0\x80"));  // surrogate
    EXPECT_FALSE(isValidUTF8("\xe2\x80"));      // cut short
    EXPECT_EQ(withoutCutCharacter("ab\xe2\x80"), 2U);
    EXPECT_EQ(withoutCutCharacter("ab\xe2\x80\xa2"), 5U);
    EXPECT_EQ(withoutCutCharacter("ab\xf0"), 2U);
    EXPECT_EQ(withoutCutCharacter("abc"), 3U);
}

TEST(HttpMessage, responsesCarryTheirByteLength) {
    EXPECT_EQ(serialize(ok("\u00b7")),
              "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n"
              "Cache-Control: no-store\r\nConnection: close\r\n\r\n\u00b7");
}

TEST(Page, cardShowsEscapedFieldsRiskAndButtons) {
    GateCard gate{"G-1",
                  "Codex",
                  "Bash",
                  "a\"b",
                  Risk::critical,
                  {"rm -rf", "force push"},
                  "rm -rf <dir> && x"};
    EXPECT_EQ(
        card(gate),
        "<div class=\"card\"><div class=\"row\"><b>Codex</b><span class=\"tool\">Bash</span>"
        "</div><div class=\"proj\">a&quot;b</div><div class=\"risk\" style=\"color:#fa87bf\">"
        "DESTRUCTIVE   \u00b7 rm -rf, force push</div><pre>rm -rf &lt;dir&gt; &amp;&amp; x</pre>"
        "<div class=\"btns\"><button class=\"deny\" onclick=\"d('G-1','deny')\">Deny</button>"
        "<button class=\"allow\" onclick=\"d('G-1','allow')\">Allow</button></div></div>");
    gate.risk = Risk::trivial;
    gate.reasons.clear();
    EXPECT_NE(card(gate).find("style=\"color:#8ce88c\">read-only  </div>"), std::string::npos);
}

TEST(Page, aQuoteInAGateIdentifierCannotBreakOutOfTheHandler) {
    GateCard gate{"x');alert(1);//\"", "Agent", "t", "", Risk::normal, {}, ""};
    std::string html = card(gate);
    EXPECT_NE(html.find("d('x\\');alert(1);//&quot;','deny')"), std::string::npos);
}

TEST(Page, emptyPageAndScript) {
    std::string html = page({}, "tok123");
    EXPECT_EQ(html.rfind("<!doctype html>", 0), 0U);
    EXPECT_NE(html.find("<meta http-equiv=\"refresh\" content=\"3\">"), std::string::npos);
    EXPECT_NE(html.find("<title>Vorla Agents</title>"), std::string::npos);
    EXPECT_NE(html.find("<h1>VORLA AGENTS</h1><div class=\"empty\">Nothing waiting.<br><span>Your "
                        "agents are getting on with it.</span></div>"),
              std::string::npos);
    EXPECT_NE(html.find("fetch('/decide?t=tok123&id='+id+'&a='+a,{method:'POST'})"),
              std::string::npos);
}

}  // namespace
}  // namespace vorla::phone
