#include "engine/usage/token_count.h"

#include <gtest/gtest.h>

#include <string>

namespace vorla {
namespace {

std::int64_t countOf(const std::string& json) {
    simdjson::dom::parser parser;
    return tokenCount(parser.parse(json)["n"]);
}

// A damaged record must add nothing: never a negative count, nor one that
// overflows when summed.
TEST(TokenCountTest, OnlyWholeNonNegativeNumbersCount) {
    EXPECT_EQ(countOf(R"({"n":120})"), 120);
    EXPECT_EQ(countOf(R"({"n":120.0})"), 120);
    EXPECT_EQ(countOf(R"({"n":9000000000000000000})"), 9000000000000000000);
    for (const char* bad : {R"({"n":-5})", R"({"n":2.5})", R"({"n":"7"})", R"({"n":1e30})",
                            R"({"n":18446744073709551615})", R"({"n":null})", R"({})", "[1]"}) {
        EXPECT_EQ(countOf(bad), 0) << bad;
    }
}

}  // namespace
}  // namespace vorla
