#include "core/json_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/protocol.h"  // decodeEvent

namespace vorla {
namespace {

using Json = nlohmann::json;

// Documents both parsers must read to the same value, kinds included.
const std::vector<std::string> kDocuments = {
    R"({"a":1,"b":-2,"c":2.5,"d":3.0,"e":1e-7,"f":true,"g":null,"h":"x"})",
    R"([18446744073709551615,-9223372036854775808,9223372036854775808,0,-0])",
    R"(  {"escaped":"\"\\\/\b\f\n\r\t\u00e9\u20ac\ud83d\ude00"}  )",
    "{\"raw\":\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\"}",
    R"({"dup":1,"dup":2})",
    R"([[],{},[{}],{"":""}])",
    "\"only a string\"",
    "1.7976931348623157e308",
};

TEST(ParseJson, AgreesWithNlohmannOnValuesAndKinds) {
    for (const auto& text : kDocuments) {
        auto ours = parseJson(text);
        ASSERT_TRUE(ours) << text;
        Json theirs = Json::parse(text);
        EXPECT_EQ(*ours, theirs) << text;
        EXPECT_EQ(ours->dump(), theirs.dump()) << text;  // same kinds print the same
    }
}

TEST(ParseJson, RejectsAnythingButOneValidDocument) {
    const std::vector<std::string> bad = {
        "",
        "   ",
        "{} {}",
        "{\"a\":1} x",
        std::string("{}\0junk", 7),
        std::string("{\"a\":\"b\0c\"}", 11),  // a raw NUL inside a string
        "{\"a\":\"\x01\"}",                   // a raw control character
        "{\"a\":\"\xc0\x80\"}",               // overlong NUL
        "{\"a\":\"\xed\xa0\x80\"}",           // encoded surrogate
        "{\"a\":\"\xf5\x80\x80\x80\"}",       // past U+10FFFF
        "{\"a\":\"\xe2\x82\"}",               // cut sequence
        "\"\xe2\x82",                         // cut at the very end
        R"({"a":"\ud800)",                    // unterminated after a lone surrogate
        "01e400",                             // not a JSON number, however large
        "[1e400",
        "NaN",
        "{'a':1}",
        "[1,]",
    };
    for (const auto& text : bad) {
        EXPECT_FALSE(parseJson(text)) << testing::PrintToString(text);
    }
}

// Valid JSON that RapidJSON alone refuses: numbers past a double's range and
// lone surrogate escapes. The value read must print back as valid JSON.
TEST(ParseJson, ReadsNumbersPastADoublesRangeAndLoneSurrogates) {
    const std::string text =
        R"({"big":1e400,"neg":-2.5E+999,"tiny":1e-400,"long":1)" + std::string(400, '0') +
        R"(e-398,"lone":"a\ud800b","low":"\uDC00","pair":"\ud83d\ude00","high":"\udbff\ud800",)"
        R"("kept":"\\ud800 \" 1e400","n":[1e308,123]})";
    auto value = parseJson(text);
    ASSERT_TRUE(value) << text;
    const double max = std::numeric_limits<double>::max();
    EXPECT_EQ((*value)["big"], max);
    EXPECT_EQ((*value)["neg"], -max);
    EXPECT_TRUE((*value)["tiny"].is_number_float());
    EXPECT_EQ((*value)["tiny"], 0.0);
    EXPECT_EQ((*value)["long"], 100.0);
    EXPECT_EQ((*value)["lone"],
              "a\xef\xbf\xbd"
              "b");
    EXPECT_EQ((*value)["low"], "\xef\xbf\xbd");
    EXPECT_EQ((*value)["pair"], "\xf0\x9f\x98\x80");
    EXPECT_EQ((*value)["high"], "\xef\xbf\xbd\xef\xbf\xbd");
    EXPECT_EQ((*value)["kept"], "\\ud800 \" 1e400");
    EXPECT_EQ((*value)["n"], Json({1e308, 123U}));
    EXPECT_EQ(Json::parse(writeJson(*value)), *value);

    // Hundreds of zeros after the point once read past the reader's table of
    // powers and crashed the bridge and the app.
    auto zeros = parseJson(R"({"a":0.)" + std::string(505, '0') + "}");
    ASSERT_TRUE(zeros);
    EXPECT_EQ((*zeros)["a"], 0.0);
}

TEST(ParseJson, RefusesNestingPastTheLimitWithoutCrashing) {
    auto nested = [](std::size_t depth) {
        return std::string(depth, '[') + std::string(depth, ']');
    };
    EXPECT_TRUE(parseJson(nested(kMaxJSONDepth)));
    EXPECT_FALSE(parseJson(nested(kMaxJSONDepth + 1)));
    EXPECT_FALSE(parseJson(std::string(1'000'000, '[')));
    EXPECT_FALSE(decodeEvent(std::string(1'000'000, '{')));
}

TEST(WriteJson, PrintsExactlyWhatNlohmannPrints) {
    Json value = {
        {"controls", std::string("\x01\x1f\x7f\b\f\n\r\t end") + std::string(1, '\0')},
        {"quotes", "say \"hi\" \\ back/slash"},
        {"unicode", "caf\xc3\xa9 \xf0\x9f\x98\x80"},
        {"numbers", {0, -1, 18446744073709551615ULL, 2.5, 3.0, 1e100, 1e-7}},
        {"nested", {{"a", Json::array()}, {"b", Json::object()}, {"c", nullptr}, {"d", false}}},
        {"", "empty key"},
    };
    EXPECT_EQ(writeJson(value), value.dump());
    for (double number :
         {0.0, -0.0, 0.1, -2.5, 100.0, 1796588675.623193, 1764000000.0, 1e15, 1e16, 123456789012.0,
          1.2345678901234568e20, 1e-7, 5e-324, 1.7976931348623157e308, std::nan(""), -HUGE_VAL}) {
        EXPECT_EQ(writeJson(Json(number)), Json(number).dump()) << number;
    }
    for (const auto& text : kDocuments) {
        Json parsed = Json::parse(text);
        EXPECT_EQ(writeJson(parsed), parsed.dump()) << text;
    }
    // Invalid UTF-8 is replaced as nlohmann replaces it, so the text reads back.
    Json bad = {{"bad", "ok \xff\xfe end"}, {"fine", "x"}};
    EXPECT_EQ(writeJson(bad), bad.dump(-1, ' ', false, Json::error_handler_t::replace));
    EXPECT_TRUE(parseJson(writeJson(bad)));
}

}  // namespace
}  // namespace vorla
