// What each real agent records about its token usage, read back through
// `vorla-agents usage`: when a new version changes its record files (place,
// field names, what its input count includes), these fail. The mock answers
// twice (a tool call, then text), each time 120 input tokens of which 20
// cached, and 8 output tokens of which 3 reasoning. The same run, with hooks
// installed by `hooks install`, has an allow rule answer the gate.
#include <gtest/gtest.h>

#include "agent_harness.h"

namespace vorla::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using Agent = AgentHarness::Agent;

struct UsageCase {
    Agent agent;
    const char* model;  // as the usage table names it
    const char* tool;   // the agent's own name for its shell tool
};

class AgentUsage : public AgentHarness, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(AgentUsage, AnAllowRuleRunsTheCommandAndBothRepliesCount) {
    learnRule("allow", GetParam().tool);
    startApp();
    startModel();
    installHooks(GetParam().agent);
    auto agent = startAgent(GetParam().agent, headlessArgs(GetParam().agent, "Run the command."));
    auto result = agent->wait(180s);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_TRUE(commandRan()) << result.out;
    int allowed = 0;
    for (const json& entry : audit()) {
        if (entry.value("kind", "") == "auto-allowed") {
            ++allowed;
            EXPECT_EQ(entry.value("agent", ""), AgentHarness::name(GetParam().agent));
            EXPECT_EQ(entry.value("tool", ""), GetParam().tool);
        }
    }
    EXPECT_EQ(allowed, 1) << json(audit()).dump();

    json snapshot = usageSnapshot();
    ASSERT_TRUE(snapshot.is_object()) << snapshot.dump();
    json expected = {
        {"input", 200}, {"output", 16}, {"cacheWrite", 0}, {"cacheRead", 40}, {"messages", 2}};
    EXPECT_EQ(snapshot["today"], expected) << snapshot.dump();
    ASSERT_EQ(snapshot["weekByModel"].size(), 1u) << snapshot.dump();
    EXPECT_EQ(snapshot["weekByModel"][0]["model"], GetParam().model);
}

INSTANTIATE_TEST_SUITE_P(
    Agents, AgentUsage,
    ::testing::Values(UsageCase{Agent::gemini, "gemini-2.5-flash", "run_shell_command"},
                      UsageCase{Agent::copilot, "GPT", "bash"},
                      UsageCase{Agent::qwen, "mock-model", "run_shell_command"},
                      UsageCase{Agent::opencode, "mock-model", "bash"}),
    [](const ::testing::TestParamInfo<UsageCase>& p) { return AgentHarness::name(p.param.agent); });

}  // namespace
}  // namespace vorla::test
