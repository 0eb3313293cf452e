// The pure pieces of the phone page: token, request parsing, page text.
#include <gtest/gtest.h>

#include <deque>

#include "engine/phone/http_message.h"
#include "engine/phone/page.h"
#include "engine/phone/page_address.h"
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

TEST(HttpMessage, requestLineHeadersAndParameters) {
    auto request = parseRequest("\r\nGET  /a?b HTTP/1.1\r\nHost:  x:1 \r\nX: y\r\n\r\nhost: z");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->target, "/a?b");
    EXPECT_EQ(headerValues(*request, "host"), std::vector<std::string>{"x:1"});
    EXPECT_FALSE(parseRequest(""));

    auto parameters = queryParameters("/decide?id=a=b&&a=%41&t");
    ASSERT_TRUE(parameters);
    EXPECT_EQ(parameter(*parameters, "id"), "a=b");
    EXPECT_EQ(parameter(*parameters, "a"), "%41");  // taken literally
    EXPECT_FALSE(parameter(*parameters, "t"));
    EXPECT_FALSE(queryParameters("/decide?id=&id=G2"));
    EXPECT_FALSE(authorised({{"t", ""}}, ""));  // no token while the server is off
}

TEST(PageAddress, onlyOurNamesWithOurPort) {
    const std::vector<std::string> addresses = {"127.0.0.1", "[::1]", "192.168.1.20"};
    EXPECT_TRUE(hostAllowed("Pc.Local:8787", "pc", addresses, 8787));
    EXPECT_TRUE(hostAllowed("192.168.1.20:8787", "pc", addresses, 8787));
    for (const char* host : {"pc.local", "pc.local:87", "pc.local.evil:8787", "pc:8787",
                             "192.168.1.2:8787", ":8787", "evil.example:8787"}) {
        EXPECT_FALSE(hostAllowed(host, "pc", addresses, 8787)) << host;
    }
}

TEST(Page, aGateIdentifierCannotBreakOutOfTheHandlerOrAddAParameter) {
    GateCard gate{"x');alert(1);//\"&a=allow", "Agent", "t", "", Risk::normal, {}, ""};
    std::string html = card(gate);
    EXPECT_NE(html.find("d('x%27%29%3Balert%281%29%3B%2F%2F%22%26a%3Dallow','deny')"),
              std::string::npos)
        << html;
}

}  // namespace
}  // namespace vorla::phone
