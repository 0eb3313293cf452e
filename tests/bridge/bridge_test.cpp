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

TEST(BridgeSource, FirstSourceFlagDecidesAndGrokVariablesOverride) {
    EXPECT_EQ(declaredSource({"bridge", "--source"}), Source::claude);
    EXPECT_EQ(declaredSource({"bridge", "--source", "nope", "--source", "kiro"}), Source::claude);
    EXPECT_EQ(declaredSource({"bridge", "x", "--source", "kiro", "--source", "grok"}),
              Source::kiro);
    EXPECT_EQ(effectiveSource(Source::claude, envOf({{"GROK_SESSION_ID", ""}})), Source::grok);
    EXPECT_EQ(effectiveSource(Source::codex, envOf({})), Source::codex);
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
