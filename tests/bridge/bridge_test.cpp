#include "bridge/bridge.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>

namespace vorla::bridge {
namespace {

EnvLookup envOf(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> std::optional<std::string> {
        auto it = values.find(name);
        if (it == values.end()) {
            return std::nullopt;
        }
        return it->second;
    };
}

Stamp stamp() {
    return Stamp{"ID", TerminalContext{}, 12.5};
}

TEST(BridgeSource, DeclaredSourceWinsOverEveryMarkButGroks) {
    EXPECT_EQ(declaredSource({"bridge", "--source"}), std::nullopt);
    EXPECT_EQ(declaredSource({"bridge", "--source", "nope", "--source", "kiro"}), std::nullopt);
    EXPECT_EQ(declaredSource({"bridge", "x", "--source", "qwen", "--source", "grok"}),
              Source::qwen);
    EXPECT_EQ(declaredEvent({"bridge", "--source", "copilot", "--event", "preToolUse"}),
              "preToolUse");
    EXPECT_EQ(declaredEvent({"bridge", "--event"}), std::nullopt);

    const auto grok = envOf({{"GROK_SESSION_ID", ""}});
    EXPECT_EQ(effectiveSource(Source::claude, grok), Source::grok);
    EXPECT_EQ(effectiveSource(std::nullopt, grok), Source::grok);
    // A Gemini CLI started from a Grok session keeps its own answer form.
    EXPECT_EQ(effectiveSource(Source::gemini, grok), Source::gemini);
    // Claude Code run by Copilot CLI inherits COPILOT_CLI=1 and stays Claude Code.
    const auto copilot = envOf({{"COPILOT_CLI", "1"}, {"CLAUDE_PROJECT_DIR", "/w"}});
    EXPECT_EQ(effectiveSource(Source::claude, copilot), Source::claude);
    EXPECT_EQ(effectiveSource(std::nullopt, copilot), Source::copilot);
    EXPECT_EQ(effectiveSource(std::nullopt, envOf({{"COPILOT_CLI", "0"}})), Source::claude);
    EXPECT_EQ(effectiveSource(std::nullopt,
                              envOf({{"QWEN_CODE_SESSION_ID", "q"}, {"GEMINI_PROJECT_DIR", "/w"}})),
              Source::qwen);
    EXPECT_EQ(effectiveSource(std::nullopt, envOf({{"GEMINI_SESSION_ID", "g"}})), Source::gemini);
    EXPECT_EQ(effectiveSource(std::nullopt, envOf({{"CLAUDE_PROJECT_DIR", "/w"}})), Source::claude);
}

TEST(BridgeEvent, EachAgentsOwnEventNamesAndPayloads) {
    auto gemini = buildEvent(Source::gemini,
                             R"({"hook_event_name":"BeforeTool","session_id":"g1","cwd":"/w",)"
                             R"("tool_name":"run_shell_command","tool_input":{"command":"ls"}})",
                             envOf({}), stamp());
    ASSERT_TRUE(gemini);
    EXPECT_EQ(gemini->rawEvent, "BeforeTool");
    EXPECT_EQ(gemini->event, Canonical::preToolUse);
    EXPECT_TRUE(gemini->gating);
    EXPECT_EQ(canonicalEvent(Source::gemini, "AfterAgent"), Canonical::stop);
    // Another agent's names mean nothing to it.
    EXPECT_EQ(canonicalEvent(Source::claude, "BeforeTool"), Canonical::other);

    // Copilot's event comes from the command line, even if the payload names another.
    const std::string copilotPayload =
        R"({"sessionId":"c1","cwd":"/w","toolName":"bash","hookEventName":"sessionStart",)"
        R"("toolArgs":"{\"command\":\"rm -rf /\"}"})";
    auto copilot = buildEvent(Source::copilot, copilotPayload, envOf({}), stamp(), "preToolUse");
    ASSERT_TRUE(copilot);
    EXPECT_EQ(copilot->event, Canonical::preToolUse);
    EXPECT_TRUE(copilot->gating);
    EXPECT_EQ(copilot->sessionID, "c1");
    EXPECT_EQ(copilot->toolInput->preview(), "rm -rf /");  // arguments given as text, parsed
    EXPECT_EQ(canonicalEvent(Source::copilot, "agentStop"), Canonical::stop);

    auto qwen = buildEvent(Source::qwen,
                           R"({"hook_event_name":"PostToolUse","tool_name":"edit",)"
                           R"("permission_mode":"yolo","tool_use_id":"t"})",
                           envOf({}), stamp());
    ASSERT_TRUE(qwen);
    EXPECT_EQ(qwen->event, Canonical::postToolUse);
    EXPECT_FALSE(qwen->gating);
}

TEST(BridgeEvent, ReadsAliasedKeysAndComputesGating) {
    auto event = buildEvent(Source::codex,
                            R"({"hook_event_name":"PermissionRequest","tool_name":"Bash",)"
                            R"("session_id":"s1","cwd":"/w","tool_input":{"command":"ls"},)"
                            R"("transcript_path":"/t"})",
                            envOf({}), stamp());
    ASSERT_TRUE(event);
    EXPECT_EQ(event->event, Canonical::permissionRequest);
    EXPECT_TRUE(event->gating);
    EXPECT_EQ(event->sessionID, "s1");
    EXPECT_EQ(event->toolInput->preview(), "ls");
    EXPECT_EQ(event->transcriptPath, "/t");
    EXPECT_EQ(event->id, "ID");
    EXPECT_EQ(event->ts, 12.5);

    auto camel = buildEvent(Source::kiro,
                            R"({"hookEventName":"preToolUse","toolName":"fs_write",)"
                            R"("sessionId":"k","workspaceRoot":"/r","toolInput":null})",
                            envOf({}), stamp());
    ASSERT_TRUE(camel);
    EXPECT_TRUE(camel->gating);
    EXPECT_EQ(camel->cwd, "/r");
    ASSERT_TRUE(camel->toolInput);  // a JSON null stays a present null
    EXPECT_TRUE(camel->toolInput->isNull());
}

// The Grok variable fallbacks, empty or broken input and every answer form
// run through the real process in e2e (bridge_process_test).
TEST(BridgeEvent, NonStringValuesAndNonObjectJson) {
    auto numeric = buildEvent(Source::claude, R"({"session_id":42})", envOf({}), stamp());
    EXPECT_FALSE(numeric->sessionID);
    EXPECT_EQ(numeric->rawEvent, "unknown");
    EXPECT_EQ(numeric->event, Canonical::other);
    auto array = buildEvent(Source::claude, "[1,2]", envOf({}), stamp());
    ASSERT_TRUE(array);
    EXPECT_EQ(array->rawEvent, "unknown");
    EXPECT_FALSE(array->toolInput);
}

TEST(BridgeInput, ReadsUpToTheLimitAndRefusesMore) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], "0123456789", 10), 10);
    ::close(fds[1]);
    EXPECT_FALSE(readInput(fds[0], 9));
    ::close(fds[0]);

    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], "0123456789", 10), 10);
    ::close(fds[1]);
    EXPECT_EQ(readInput(fds[0], 10), "0123456789");
    ::close(fds[0]);
}

}  // namespace
}  // namespace vorla::bridge
