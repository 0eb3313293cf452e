#include "engine/usage/transcript_scan.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "engine/usage/compact.h"
#include "engine/usage/line_stream.h"
#include "engine/usage/pricing.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

using nlohmann::json;
using TranscriptScan::claudeUsage;
using TranscriptScan::codexUsage;
using TranscriptScan::shortModel;

// One assistant line as Claude Code writes it; empty arguments leave the field out.
std::string claudeLine(const std::string& id, const std::string& timestamp, json usage,
                       const std::string& model = "claude-opus-4-1") {
    json message = {{"role", "assistant"},
                    {"content", json::array({{{"type", "text"}, {"text", "hi"}}})}};
    if (!id.empty()) {
        message["id"] = id;
    }
    if (!model.empty()) {
        message["model"] = model;
    }
    message["usage"] = std::move(usage);
    json line = {{"type", "assistant"}, {"message", message}};
    if (!timestamp.empty()) {
        line["timestamp"] = timestamp;
    }
    return line.dump() + "\n";
}

json tokens(int input, int output, int cacheWrite = 0, int cacheRead = 0) {
    return {{"input_tokens", input},
            {"output_tokens", output},
            {"cache_creation_input_tokens", cacheWrite},
            {"cache_read_input_tokens", cacheRead}};
}

class ScanTest : public ::testing::Test {
  protected:
    std::string write(const std::string& contents, const std::string& name = "t.jsonl") {
        home_.write(name, contents);
        return home_.file(name);
    }

    test::TempHome home_;
};

TEST_F(ScanTest, ClaudeCountsEachResponseOnceUnderItsDayAndModel) {
    json odd = {{"input_tokens", 5.0},
                {"output_tokens", 2.5},
                {"cache_read_input_tokens", "7"},
                {"cache_creation_input_tokens", 9}};
    std::string file = write(
        // One response spread over its content-block lines counts once.
        claudeLine("msg_1", "2025-03-09T10:00:00Z", tokens(10, 20, 30, 40)) +
        claudeLine("msg_1", "2025-03-09T10:00:01Z", tokens(10, 20, 30, 40)) +
        claudeLine("msg_1", "2025-03-09T10:00:02Z", tokens(10, 20, 30, 40)) +
        claudeLine("msg_2", "2025-03-10T23:59:59+05:00", tokens(1, 2, 3, 4), "claude-sonnet-4-5") +
        // Lines without an id always count; one without a timestamp only marks its id.
        claudeLine("", "2025-03-09T10:00:00Z", tokens(1, 1)) +
        claudeLine("", "2025-03-09T10:00:00Z", tokens(1, 1)) +
        claudeLine("msg_late", "", tokens(100, 100)) +
        claudeLine("msg_late", "2025-03-09T11:00:00Z", tokens(100, 100)) +
        claudeLine("a", "2025-03-09T01:00:00Z", tokens(1, 0), "") +
        claudeLine("b", "2025-03-09T02:00:00Z", tokens(0, 3), "<synthetic>") +
        claudeLine("c", "2025-03-09T03:00:00Z", odd, "claude-haiku-4-5"));
    UsageBuckets expected = {
        {"2025-03-09",
         {{"Opus", {12, 22, 30, 40, 3}},
          {"unknown", {1, 0, 0, 0, 1}},
          {"<synthetic>", {0, 3, 0, 0, 1}},
          {"Haiku", {5, 0, 9, 0, 1}}}},
        {"2025-03-10", {{"Sonnet", {1, 2, 3, 4, 1}}}},  // the text's own date, no conversion
    };
    EXPECT_EQ(claudeUsage(file), expected);
}

TEST_F(ScanTest, ClaudeSkipsLinesThatOnlyMentionUsageOrDoNotParse) {
    json toolResult = {{"type", "user"},
                       {"timestamp", "2025-03-09T10:00:00Z"},
                       {"message", {{"role", "user"}, {"content", "print \"usage\": {} please"}}}};
    json usageNotObject = {{"timestamp", "2025-03-09T10:00:00Z"},
                           {"message", {{"id", "x"}, {"usage", "none"}}}};
    std::string file =
        write(toolResult.dump() + "\n" + usageNotObject.dump() + "\n" +
              "{\"message\":{\"usage\":{\"output_tokens\":5}},\"timestamp\":\"2025\n" +
              "[\"usage\"]\n\n\n" + "{\"usage\":{\"output_tokens\":3},\"x\":\"\xff\xfe\"}\n" +
              claudeLine("x", "2025-03-09T10:00:00Z", tokens(0, 7)));
    // Invalid UTF-8 in one line does not spoil the file. "x" in the line whose usage is a
    // text is not seen: the line is skipped before the id is looked at.
    UsageBuckets expected = {{"2025-03-09", {{"Opus", {0, 7, 0, 0, 1}}}}};
    EXPECT_EQ(claudeUsage(file), expected);
    EXPECT_TRUE(claudeUsage(home_.file("absent.jsonl")).empty());
}

TEST_F(ScanTest, StreamingFindsResponsesAroundHugeLinesAndAtTheEndWithoutLineFeed) {
    // A 5 MB tool result (several read blocks), then responses, the last one
    // without its line feed; the marker also sits right after a long line.
    std::string big(5'000'000, 'x');
    std::string last = claudeLine("m3", "2025-03-09T10:00:02Z", tokens(0, 3));
    last.pop_back();
    std::string file = write(
        claudeLine("m1", "2025-03-09T10:00:00Z", tokens(0, 1)) + "{\"type\":\"user\",\"text\":\"" +
        big + "\"}\n" + claudeLine("m2", "2025-03-09T10:00:01Z", tokens(0, 2)) + "{\"pad\":\"" +
        std::string(1 << 20, 'y') + "\"," +
        claudeLine("m9", "2025-03-09T10:00:00Z", tokens(0, 100)).substr(1) + last);
    UsageBuckets expected = {{"2025-03-09", {{"Opus", {0, 106, 0, 0, 4}}}}};
    EXPECT_EQ(claudeUsage(file), expected);

    int lines = 0;
    EXPECT_TRUE(forEachLine(file, {}, LineSelection::all, [&](const StreamedLine&) {
        ++lines;
        return LineSelection::all;
    }));
    EXPECT_EQ(lines, 5);
}

std::string codexLine(const json& payload,
                      const std::string& timestamp = "2025-03-09T08:00:00.123Z") {
    json line = {{"type", "event_msg"}, {"payload", payload}};
    if (!timestamp.empty()) {
        line["timestamp"] = timestamp;
    }
    return line.dump() + "\n";
}

json totals(int input, int cached, int output) {
    return {{"type", "token_count"},
            {"info",
             {{"total_token_usage",
               {{"input_tokens", input},
                {"cached_input_tokens", cached},
                {"output_tokens", output}}}}}};
}

TEST_F(ScanTest, CodexBooksTheLastTotalsOnTheFirstDayUnderTheLastModel) {
    std::string file = write(codexLine({{"type", "session_meta"}}, "2025-03-09T23:59:00Z") +
                             codexLine({{"model", "o3"}}) + codexLine(totals(100, 40, 10)) +
                             "not json\n" + codexLine({{"model", "gpt-5-codex"}}) +
                             codexLine(totals(300, 100, 50), "2025-03-10T00:30:00Z"));
    UsageBuckets expected = {{"2025-03-09", {{"GPT", {200, 50, 0, 100, 1}}}}};
    EXPECT_EQ(codexUsage(file), expected);
}

TEST_F(ScanTest, CodexEdgeCases) {
    EXPECT_TRUE(codexUsage(write(codexLine(totals(1, 0, 1), ""), "a.jsonl")).empty());
    EXPECT_TRUE(codexUsage(write(codexLine({{"model", "gpt-5"}}), "b.jsonl")).empty());
    UsageBuckets cachedAboveInput = {{"2025-03-09", {{"GPT", {0, 5, 0, 70, 1}}}}};
    EXPECT_EQ(codexUsage(write(codexLine(totals(50, 70, 5)), "c.jsonl")), cachedAboveInput);
    // A torn last line changes nothing, though its first fields were readable.
    std::string torn = codexLine(totals(9, 0, 9));
    torn.resize(torn.size() - 8);
    UsageBuckets whole = {{"2025-03-09", {{"GPT", {1, 1, 0, 0, 1}}}}};
    EXPECT_EQ(codexUsage(write(codexLine(totals(1, 0, 1)) + torn, "d.jsonl")), whole);
}

// Shaped as Codex 0.171 writes them: one token_usage_record per response, and
// token_count lines with the running total, which in a forked session starts
// from its parent's total (here 240 in / 16 out before the fork).
std::string codexRecord(int input, int cached, int cacheWrite, int output) {
    json counts = {{"input_tokens", input},
                   {"cached_input_tokens", cached},
                   {"cache_write_input_tokens", cacheWrite},
                   {"output_tokens", output},
                   {"reasoning_output_tokens", 0},
                   {"total_tokens", input + output}};
    json line = {{"timestamp", "2026-12-06T22:42:41.054Z"},
                 {"ordinal", 30},
                 {"type", "token_usage_record"},
                 {"payload",
                  {{"thread_id", "t"},
                   {"response_id", "resp"},
                   {"usage", counts},
                   {"thread_token_usage", {{"input_tokens", 99999}}}}}};
    return line.dump() + "\n";
}

TEST_F(ScanTest, CodexForkCountsOnlyItsOwnResponsesAndCacheWrites) {
    json meta = {{"timestamp", "2026-12-06T22:42:40.506Z"},
                 {"type", "session_meta"},
                 {"payload", {{"id", "child"}, {"forked_from_id", "parent"}}}};
    json total = totals(360, 0, 24);
    std::string fork =
        write(meta.dump() + "\n" + codexLine({{"model", "gpt-5.5"}}) + codexRecord(120, 0, 0, 8) +
                  codexLine(total) + codexRecord(1000, 300, 200, 50),
              "fork.jsonl");
    UsageBuckets expected = {{"2026-12-06", {{"GPT", {120 + 500, 58, 200, 300, 1}}}}};
    EXPECT_EQ(codexUsage(fork), expected);

    // Without records (older Codex) the last running total still counts.
    total["info"]["total_token_usage"]["cache_write_input_tokens"] = 50;
    UsageBuckets old = {{"2025-03-09", {{"GPT", {310, 24, 50, 0, 1}}}}};
    EXPECT_EQ(codexUsage(write(codexLine(total), "old.jsonl")), old);
}

// Opus, Sonnet, GPT and Gemini names and prices are checked through the scans and the store.
TEST(ModelNames, ShortNamesCachePricesAndCompactCounts) {
    EXPECT_EQ(shortModel("Claude-FABLE-2"), "Fable");
    EXPECT_EQ(shortModel(""), "\u2014");
    EXPECT_EQ(shortModel("Mistral-Large"), "Mistral-Large");
    // A model without a known price has no cost rather than a guessed one.
    EXPECT_EQ(Pricing::rates("\u2014"), std::nullopt);
    EXPECT_EQ(Pricing::cost({1, 1, 0, 0, 0}, "qwen3-coder-plus"), std::nullopt);
    EXPECT_EQ(Pricing::rates("gemini-2.5-flash-lite"), (Pricing::Rates{0.1, 0.4}));
    EXPECT_DOUBLE_EQ(*Pricing::cost({0, 0, 0, 1'000'000, 0}, "Sonnet"), 0.3);
    EXPECT_DOUBLE_EQ(*Pricing::cost({0, 0, 1'000'000, 0, 0}, "Haiku"), 1.25);

    EXPECT_EQ(Int::compact(999), "999");
    EXPECT_EQ(Int::compact(999'999), "1000.0k");
    EXPECT_EQ(Int::compact(3'210'000'000), "3.2B");
}

}  // namespace
}  // namespace vorla
