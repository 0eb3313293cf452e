// What each real agent records about its token usage, read back through
// `vorla-agents usage`: when a new version changes its record files (place,
// field names, what its input count includes), these fail. The mock answers
// twice (a tool call, then text), each time 120 input tokens of which 20
// cached, and 8 output tokens of which 3 reasoning.
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
};

class AgentUsage : public AgentHarness, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(AgentUsage, BothRepliesCountWithCacheReadsApartAndReasoningAsOutput) {
    startModel();
    auto agent = startAgent(GetParam().agent, headlessArgs(GetParam().agent, "Run the command."));
    auto result = agent->wait(180s);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_TRUE(commandRan()) << result.out;

    json snapshot = usageSnapshot();
    ASSERT_TRUE(snapshot.is_object()) << snapshot.dump();
    json expected = {
        {"input", 200}, {"output", 16}, {"cacheWrite", 0}, {"cacheRead", 40}, {"messages", 2}};
    EXPECT_EQ(snapshot["today"], expected) << snapshot.dump();
    ASSERT_EQ(snapshot["weekByModel"].size(), 1u) << snapshot.dump();
    EXPECT_EQ(snapshot["weekByModel"][0]["model"], GetParam().model);
}

INSTANTIATE_TEST_SUITE_P(Agents, AgentUsage,
                         ::testing::Values(UsageCase{Agent::gemini, "gemini-2.5-flash"},
                                           UsageCase{Agent::copilot, "GPT"},
                                           UsageCase{Agent::qwen, "mock-model"},
                                           UsageCase{Agent::opencode, "mock-model"}),
                         [](const ::testing::TestParamInfo<UsageCase>& p) {
                             return AgentHarness::name(p.param.agent);
                         });

}  // namespace
}  // namespace vorla::test
