// Runs the built vorla-bridge as a child process against a listener on the
// socket of a temporary HOME, as an agent's hook would.
#include <gtest/gtest.h>
#include <unistd.h>

#include "core/paths.h"
#include "core/protocol.h"
#include "support/child_process.h"
#include "support/line_listener.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

class BridgeProcess : public ::testing::Test {
  protected:
    test::ChildResult runBridge(const std::string& payload, std::vector<std::string> args = {},
                                std::map<std::string, std::optional<std::string>> env = {}) {
        test::ChildOptions options;
        options.args = {VORLA_BRIDGE_PATH};
        options.args.insert(options.args.end(), args.begin(), args.end());
        options.env = std::move(env);
        options.env["HOME"] = home_.path();
        // Marks of the agent these tests may themselves run under.
        for (const char* mark : {"GROK_HOOK_EVENT", "GROK_SESSION_ID", "GEMINI_SESSION_ID",
                                 "QWEN_CODE_SESSION_ID", "COPILOT_CLI"}) {
            options.env.try_emplace(mark, std::nullopt);
        }
        options.input = payload;
        return test::runChild(options);
    }

    // Starts a listener answering every gating line with `reply`.
    void answerWith(const std::optional<std::string>& reply) {
        listener_.emplace(socketPath(), [reply](const std::string&) { return reply; });
    }

    Event onlyEvent() {
        auto lines = listener_->waitForLines(1);
        EXPECT_EQ(lines.size(), 1u);
        auto event = decodeEvent(lines.empty() ? "" : lines.front());
        EXPECT_TRUE(event);
        return event.value_or(Event{});
    }

    test::TempHome home_;
    std::optional<test::LineListener> listener_;
};

constexpr const char* kPermission =
    R"({"hook_event_name":"PermissionRequest","tool_name":"Bash","session_id":"s1",)"
    R"("tool_input":{"command":"rm -rf build"}})";

// Every answer form an agent reads, from a real bridge process: what it
// prints, where, and its exit status; and the event it sent first.
TEST_F(BridgeProcess, AnswersEachAgentInItsOwnForm) {
    struct Case {
        std::string payload;
        std::string source;
        std::optional<std::string> reply;
        int exitCode;
        std::string out;  // exactly, with no trailing line feed
        std::string err;
        Source sent;
        std::map<std::string, std::optional<std::string>> env = {};
        std::vector<std::string> args = {};
    };
    const std::string pre = R"({"hook_event_name":"PreToolUse","tool_name":"Bash"})";
    const std::string kiro = R"({"hook_event_name":"preToolUse","tool_name":"shell"})";
    const std::string gemini = R"({"hook_event_name":"BeforeTool","tool_name":"replace"})";
    const std::string copilot = R"({"toolName":"bash","toolArgs":{"command":"ls"}})";
    // Valid JSON that a double or UTF-8 cannot hold as written is still sent.
    const std::string grok = R"({"tool_name":"Bash","n":1e400,"s":"\ud800"})";
    const std::map<std::string, std::optional<std::string>> grokEnv = {
        {"GROK_HOOK_EVENT", "pre_tool_use"}, {"GROK_SESSION_ID", "g-1"}};
    const std::vector<Case> cases = {
        {kPermission, "codex", R"({"behavior":"allow"})", 0,
         R"({"hookSpecificOutput":{"decision":{"behavior":"allow","message":)"
         R"("Approved in Vorla Agents"},"hookEventName":"PermissionRequest"}})",
         "", Source::codex},
        // A PreToolUse hook never prints an allow: the agent's own prompt decides.
        {pre, "codex", R"({"behavior":"allow","message":"x"})", 0, "", "", Source::codex},
        {pre, "claude", R"({"behavior":"deny","message":"Vorla Agents: matched your rule"})", 0,
         R"({"hookSpecificOutput":{"hookEventName":"PreToolUse","permissionDecision":"deny",)"
         R"("permissionDecisionReason":"Vorla Agents: matched your rule"}})",
         "", Source::claude},
        {kiro, "kiro", R"({"behavior":"deny","message":"not today"})", 2, "", "not today",
         Source::kiro},
        {kiro, "kiro", R"({"behavior":"deny"})", 2, "", "Denied in Vorla Agents", Source::kiro},
        {kiro, "kiro", R"({"behavior":"allow","message":"x"})", 0, "", "", Source::kiro},
        // Grok's variables override the declared source.
        {grok, "claude", R"({"behavior":"deny","message":"Blocked by rule"})", 0,
         R"({"decision":"deny","reason":"Blocked by rule"})", "", Source::grok, grokEnv},
        {grok, "claude", R"({"behavior":"allow","message":"ignored"})", 0,
         R"({"decision":"allow"})", "", Source::grok, grokEnv},
        {gemini, "gemini", R"({"behavior":"deny","message":"no"})", 0,
         R"({"decision":"deny","reason":"no"})", "", Source::gemini},
        {gemini, "gemini", R"({"behavior":"allow"})", 0, R"({"decision":"allow"})", "",
         Source::gemini},
        {copilot,
         "copilot",
         R"({"behavior":"deny"})",
         0,
         R"({"permissionDecision":"deny","permissionDecisionReason":"Denied in Vorla Agents"})",
         "",
         Source::copilot,
         {},
         {"--event", "preToolUse"}},
        {copilot,
         "copilot",
         R"({"behavior":"allow"})",
         0,
         R"({"permissionDecision":"allow","permissionDecisionReason":"Approved in Vorla Agents"})",
         "",
         Source::copilot,
         {},
         {"--event", "preToolUse"}},
        {pre, "qwen", R"({"behavior":"allow","message":"ok"})", 0,
         R"({"hookSpecificOutput":{"hookEventName":"PreToolUse","permissionDecision":"allow",)"
         R"("permissionDecisionReason":"ok"}})",
         "", Source::qwen},
        // Our OpenCode plugin reads Gemini CLI's form and throws the reason.
        {pre, "opencode", R"({"behavior":"deny","message":"no"})", 0,
         R"({"decision":"deny","reason":"no"})", "", Source::opencode},
        // A peer that closes without answering, or answers garbage: no decision.
        {kPermission, "claude", std::nullopt, 0, "", "", Source::claude},
        {kPermission, "claude", R"({"behavior":"perhaps"})", 0, "", "", Source::claude},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source + " " + c.reply.value_or("(no reply)"));
        listener_.reset();
        answerWith(c.reply);
        std::vector<std::string> args = {"--source", c.source};
        args.insert(args.end(), c.args.begin(), c.args.end());
        auto result = runBridge(c.payload, args, c.env);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
        Event event = onlyEvent();
        EXPECT_EQ(event.source, c.sent);
        EXPECT_TRUE(event.gating);
        if (c.sent == Source::grok) {
            EXPECT_EQ(event.rawEvent, "pre_tool_use");
            EXPECT_EQ(event.event, Canonical::preToolUse);
            EXPECT_EQ(event.sessionID, "g-1");
        } else if (c.payload == kPermission) {
            EXPECT_EQ(event.toolInput->preview(), "rm -rf build");
        }
    }
}

TEST_F(BridgeProcess, NonGatingEventIsSentWithoutWaiting) {
    // The listener never answers; a bridge that waited would time out.
    answerWith(std::nullopt);
    auto result = runBridge(R"({"hook_event_name":"PostToolUse","tool_name":"Bash","cwd":"/w",)"
                            R"("tool_input":null})");
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
    Event event = onlyEvent();
    EXPECT_FALSE(event.gating);
    EXPECT_EQ(event.cwd, "/w");
    ASSERT_TRUE(event.toolInput);  // a null input stays a present null on the way
    EXPECT_EQ(event.toolInput->preview(), "null");
}

TEST_F(BridgeProcess, NoApplicationListeningExitsQuietly) {
    for (const char* payload : {kPermission, R"({"hook_event_name":"Stop"})"}) {
        auto result = runBridge(payload);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "");
    }
}

TEST_F(BridgeProcess, EmptyOrNonJsonInputSendsNothing) {
    answerWith(R"({"behavior":"allow"})");
    for (const char* payload : {"", "not json at all", "{\"unterminated\":"}) {
        auto result = runBridge(payload);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out, "");
    }
    // Standard input far larger than memory: read up to the limit, then a
    // quiet exit (it once reserved the whole size and aborted).
    home_.write("huge.json", "");
    const std::string huge = home_.file("huge.json");
    ASSERT_EQ(::truncate(huge.c_str(), off_t{1} << 40), 0);  // sparse: takes no disk
    test::ChildOptions options;
    options.args = {"/bin/sh", "-c", "exec \"$0\" < \"$1\"", VORLA_BRIDGE_PATH, huge};
    options.env["HOME"] = home_.path();
    auto result = test::runChild(options);
    EXPECT_EQ(result.exitCode, 0) << result.signal;
    EXPECT_EQ(result.err, "");
    runBridge(R"({"hook_event_name":"Stop"})");  // a marker that does arrive
    auto lines = listener_->waitForLines(1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(decodeEvent(lines[0])->event, Canonical::stop);
}

TEST_F(BridgeProcess, MegabyteToolInputArrivesWhole) {
    answerWith(std::nullopt);
    std::string content(1 << 20, 'q');
    auto result = runBridge(R"({"hook_event_name":"PostToolUse","tool_name":"Write",)"
                            R"("tool_input":{"file_path":"/a","content":")" +
                            content + "\"}}");
    EXPECT_EQ(result.exitCode, 0);
    Event event = onlyEvent();
    EXPECT_EQ((*event.toolInput)["content"]->stringValue()->size(), content.size());
}

TEST(BridgeProcessLongHome, SocketPathPastTheLimitExitsQuietly) {
    // /tmp/ + 100 characters + /.vorla-agents/run/vorla.sock is far past 103 bytes.
    test::TempHome home("/tmp/" + std::string(100, 'h'));
    test::ChildOptions options;
    options.args = {VORLA_BRIDGE_PATH};
    options.env["HOME"] = home.path();
    options.input = kPermission;
    auto result = test::runChild(options);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace vorla
