#include "core/protocol.h"

#include <gtest/gtest.h>

#include <regex>

#include "core/uuid.h"

namespace vorla {
namespace {

JSONValue json(const char* text) {
    return *JSONValue::parse(text);
}

TEST(Canonicalize, FoldsUnderscoresAndCaseOnly) {
    EXPECT_EQ(canonicalize("session_start"), Canonical::sessionStart);
    EXPECT_EQ(canonicalize("PRE_TOOL_USE"), Canonical::preToolUse);
    EXPECT_EQ(canonicalize("preToolUse"), Canonical::preToolUse);
    EXPECT_EQ(canonicalize("pre-tool-use"), Canonical::other);
    EXPECT_EQ(canonicalize("SubagentStop"), Canonical::other);
    EXPECT_EQ(canonicalize(""), Canonical::other);
}

TEST(IsGating, ClaudeAndCodexGateTwoToolsGrokAndKiroEveryPreToolUse) {
    EXPECT_FALSE(isGating(Source::codex, Canonical::preToolUse, "Bash"));
    EXPECT_TRUE(isGating(Source::claude, Canonical::preToolUse, "AskUserQuestion"));
    EXPECT_TRUE(isGating(Source::codex, Canonical::preToolUse, "ExitPlanMode"));
    EXPECT_FALSE(isGating(Source::claude, Canonical::preToolUse, "askuserquestion"));
    EXPECT_TRUE(isGating(Source::claude, Canonical::permissionRequest, std::nullopt));
    EXPECT_TRUE(isGating(Source::grok, Canonical::preToolUse, std::nullopt));
    EXPECT_FALSE(isGating(Source::kiro, Canonical::permissionRequest, "Bash"));
    // Every other Claude/Codex pre-tool-use is a rule check; Grok's is a gate.
    EXPECT_TRUE(isRuleCheck(Source::codex, Canonical::preToolUse, "Bash"));
    EXPECT_TRUE(isRuleCheck(Source::claude, Canonical::preToolUse, std::nullopt));
    EXPECT_FALSE(isRuleCheck(Source::claude, Canonical::preToolUse, "AskUserQuestion"));
    EXPECT_FALSE(isRuleCheck(Source::grok, Canonical::preToolUse, "Bash"));
    EXPECT_FALSE(isRuleCheck(Source::codex, Canonical::postToolUse, "Bash"));
}

TEST(Field, FirstPresentKeyWinsOnObjectsOnly) {
    EXPECT_FALSE(field(json("[1,2]"), {"a"}));
    auto both = json(R"({"sessionId":"camel","session_id":"snake"})");
    EXPECT_EQ(field(both, {"session_id", "sessionId"})->stringValue(), "snake");
    auto present = field(json(R"({"a":null,"b":1})"), {"a", "b"});
    ASSERT_TRUE(present);
    EXPECT_TRUE(present->isNull());
}

TEST(Preview, FollowsTheDisplayRules) {
    EXPECT_EQ(json(R"({"command":"npm test","path":"/x"})").preview(), "npm test");
    EXPECT_EQ(json(R"([1,"x",true])").preview(), "1.0, x, true");
    EXPECT_EQ(json("1764000000").preview(), "1764000000.0");
    EXPECT_EQ(json("-0.125").preview(), "-0.125");
    EXPECT_EQ(json("{}").preview(), "");
    EXPECT_EQ(json(R"({"command":["git","status"]})").preview(), "git, status");
    // Keys sort by code point: upper case before lower case, ASCII before é.
    EXPECT_EQ(json(R"({"é":1,"b":1,"B":1})").preview(), "B,b,é");
}

Event sampleEvent() {
    Event event;
    event.id = "0B6E1B8C-3F0A-4C55-9A4E-2D1F7C9E5A10";
    event.source = Source::kiro;
    event.event = Canonical::preToolUse;
    event.rawEvent = "PreToolUse";
    event.gating = true;
    event.terminal.ppid = 4242;
    event.ts = 1764950400.25;
    return event;
}

TEST(EventCoding, RoundTripsOmittingAbsentOptionalsAndKeepingPresentNulls) {
    Event event = sampleEvent();
    std::string line = encode(event);
    for (const char* key :
         {"sessionID", "cwd", "toolName", "toolInput", "transcriptPath", "termProgram", "null"}) {
        EXPECT_EQ(line.find(key), std::string::npos) << key;
    }
    EXPECT_EQ(decodeEvent(line), event);

    event.sessionID = "s-42";
    event.cwd = "/home/me/app";
    event.toolName = "Bash";
    event.toolInput = json(R"({"command":"printf 'a\nb'","n":[1,2.5,null]})");
    event.transcriptPath = "/t.jsonl";
    event.terminal.termProgram = "";  // set-but-empty stays present
    event.terminal.tmuxPane = "%3";
    line = encode(event);
    // Compact, one line, keys in byte order: what nlohmann prints for the same value.
    EXPECT_EQ(line, nlohmann::json::parse(line).dump());
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(decodeEvent(line), event);

    // A tool called with a null input is not a tool called without one.
    event.toolInput = JSONValue();
    auto decoded = decodeEvent(encode(event));
    ASSERT_TRUE(decoded && decoded->toolInput);
    EXPECT_TRUE(decoded->toolInput->isNull());
}

TEST(EventCoding, RejectsMissingRequiredKeysAndUnknownRawValues) {
    nlohmann::json good = nlohmann::json::parse(encode(sampleEvent()));
    for (const char* key : {"id", "source", "event", "rawEvent", "gating", "terminal", "ts"}) {
        auto copy = good;
        copy.erase(key);
        EXPECT_FALSE(decodeEvent(copy.dump())) << "without " << key;
    }
    auto badSource = good;
    badSource["source"] = "cursor";
    EXPECT_FALSE(decodeEvent(badSource.dump()));
    auto badEvent = good;
    badEvent["event"] = "PreToolUse";  // a raw agent name is not a canonical value
    EXPECT_FALSE(decodeEvent(badEvent.dump()));
    auto noPpid = good;
    noPpid["terminal"].erase("ppid");
    EXPECT_FALSE(decodeEvent(noPpid.dump()));
    auto wrongType = good;
    wrongType["sessionID"] = 7;
    EXPECT_FALSE(decodeEvent(wrongType.dump()));
    EXPECT_FALSE(decodeEvent("garbage"));
    EXPECT_FALSE(decodeEvent(""));
}

TEST(DecisionCoding, MessageOnlyWhenPresent) {
    EXPECT_EQ(encode(Decision{Behavior::allow, std::nullopt}), R"({"behavior":"allow"})");
    EXPECT_EQ(decodeDecision(R"({"behavior":"deny","message":"Blocked by rule"})"),
              (Decision{Behavior::deny, "Blocked by rule"}));
    EXPECT_EQ(decodeDecision(R"({"behavior":"deny"})"), (Decision{Behavior::deny, std::nullopt}));
    EXPECT_FALSE(decodeDecision(R"({"behavior":"maybe"})"));
    EXPECT_FALSE(decodeDecision(R"({"message":"x"})"));
    EXPECT_FALSE(decodeDecision("[]"));
}

TEST(TerminalContextCapture, ReadsVariablesAndAlwaysHasPpid) {
    ::unsetenv("TERM_PROGRAM");
    ::setenv("TMUX_PANE", "", 1);
    TerminalContext terminal = TerminalContext::capture();
    ::unsetenv("TMUX_PANE");
    EXPECT_FALSE(terminal.termProgram);
    EXPECT_EQ(terminal.tmuxPane, "");
    EXPECT_EQ(terminal.ppid, static_cast<std::int32_t>(getppid()));
    EXPECT_NE(toJson(terminal).dump().find("\"ppid\""), std::string::npos);
}

TEST(RandomUUID, IsUpperCaseVersion4AndFresh) {
    std::regex form("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$");
    std::string a = randomUUID();
    EXPECT_TRUE(std::regex_match(a, form)) << a;
    EXPECT_NE(a, randomUUID());
}

}  // namespace
}  // namespace vorla
