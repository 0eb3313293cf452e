// The OpenCode plugin we write, loaded by node the way OpenCode loads it and
// run against the real bridge and a stand-in for the application.
#include "engine/installer/opencode_plugin.h"

#include <gtest/gtest.h>

#include "core/paths.h"
#include "core/protocol.h"
#include "engine/installer/installer.h"
#include "engine/support/atomic_file.h"
#include "support/child_process.h"
#include "support/line_listener.h"
#include "support/scoped_env.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

// Calls the plugin's tool.execute.before for a `rm -rf ~` and prints whether
// it let the call go on or why not.
constexpr const char* kDriver = R"js(
const { VorlaAgents } = await import(process.argv[1]);
const hooks = await VorlaAgents({ directory: "/w" });
try {
  await hooks["tool.execute.before"]({ tool: "bash", sessionID: "s1", callID: "c1" },
                                     { args: { command: "rm -rf ~" } });
  console.log("allowed");
} catch (error) {
  console.log("denied: " + error.message);
}
)js";

TEST(OpenCodePlugin, WaitsForTheAnswerAndThrowsTheDenialReason) {
    test::TempHome home;
    test::ScopedEnv xdg("XDG_CONFIG_HOME", home.file("config"));
    home.write("config/opencode/opencode.json", "{}");
    Installer installer(home.path(), {VORLA_BRIDGE_PATH});
    ASSERT_TRUE(installer.install(Source::opencode));
    // node reads a .js file outside a "type": "module" package as CommonJS.
    const std::string module = home.file("plugin.mjs");
    home.write("plugin.mjs", *home.read("config/opencode/plugins/vorla-agents.js"));
    ASSERT_TRUE(ensurePrivateDirectory(runDir()));

    auto runPlugin = [&] {
        test::ChildOptions options;
        options.args = {"/usr/bin/node", "--input-type=module", "-e", kDriver, module};
        for (const char* mark : {"GROK_HOOK_EVENT", "GROK_SESSION_ID"}) {
            options.env[mark] = std::nullopt;
        }
        auto result = test::runChild(options);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out;
    };

    {
        test::LineListener app(socketPath(), [](const std::string&) {
            return std::optional<std::string>(R"({"behavior":"deny","message":"not in ~"})");
        });
        EXPECT_EQ(runPlugin(), "denied: not in ~\n");
        auto lines = app.waitForLines(1);
        ASSERT_EQ(lines.size(), 1U);
        auto event = decodeEvent(lines[0]);
        ASSERT_TRUE(event);
        EXPECT_EQ(event->source, Source::opencode);
        EXPECT_EQ(event->event, Canonical::preToolUse);
        EXPECT_TRUE(event->gating);
        EXPECT_EQ(event->sessionID, "s1");
        EXPECT_EQ(event->cwd, "/w");
        EXPECT_EQ(event->toolName, "bash");
        EXPECT_EQ(event->toolInput->preview(), "rm -rf ~");
    }
    {
        test::LineListener app(socketPath(), [](const std::string&) {
            return std::optional<std::string>(R"({"behavior":"allow"})");
        });
        EXPECT_EQ(runPlugin(), "allowed\n");
    }
    // No application, or none answering: OpenCode goes on as without us.
    EXPECT_EQ(runPlugin(), "allowed\n");
    {
        test::LineListener app(socketPath(), [](const std::string&) { return std::nullopt; });
        EXPECT_EQ(runPlugin(), "allowed\n");
    }
}

}  // namespace
}  // namespace vorla
