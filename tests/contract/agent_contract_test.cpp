// Contract tests against the real agent CLIs: when an agent's new version
// changes its hooks (names, payload fields, answer forms, trust), these fail.
#include <gtest/gtest.h>

#include "agent_harness.h"
#include "e2e/e2e_support.h"

namespace vorla::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr const char* kPrompt = "Run the contract command.";

class AgentContract : public AgentHarness {
  protected:
    // The one audit record of `kind`, checked for the payload fields the
    // engine reads: session id, working folder, tool name and its input.
    void expectRecord(const std::string& kind, const std::string& agent,
                      const std::string& tool = "Bash") {
        std::vector<json> found;
        for (const json& entry : audit()) {
            if (entry.value("kind", "") == kind) {
                found.push_back(entry);
            }
        }
        ASSERT_EQ(found.size(), 1u) << json(audit()).dump();
        const json& entry = found[0];
        EXPECT_EQ(entry.value("agent", ""), agent);
        EXPECT_EQ(entry.value("project", ""), project());
        EXPECT_EQ(entry.value("tool", ""), tool);
        EXPECT_EQ(entry.value("detail", ""), kContractCommand);
        std::string session = entry.value("sessionID", "");
        EXPECT_FALSE(session.empty() || session == agent + "-unknown") << session;
    }

    // The agent told the model our reason for stopping the command.
    bool modelSawOurReason() {
        for (const json& request : modelRequests()) {
            if (request.dump().find("Vorla Agents: matched your rule") != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    // A finished session leaves the app's list (SessionEnd arrived).
    bool sessionsEnded() {
        return eventually([&] {
            json now = publishedState(home);
            return now.is_object() && now["sessions"].is_array() && now["sessions"].empty();
        });
    }
};

// One run of a real agent: a learned rule or the phone answers its gate.
struct AgentCase {
    const char* name;
    AgentHarness::Agent agent;
    std::string rule;  // "allow", "deny", or "" for an approval from the phone
    AgentHarness::Escalate escalate;
    std::vector<std::string> args;
};

class AgentRun : public AgentContract, public ::testing::WithParamInterface<AgentCase> {};

TEST_P(AgentRun, AnswersTheGateAndRecordsIt) {
    const AgentCase& run = GetParam();
    const std::string name = run.agent == Agent::codex ? "codex" : "claude";
    if (!run.rule.empty()) {
        learnRule(run.rule);
    }
    startApp();
    startModel(run.escalate);
    installHooks(run.agent);
    auto agent = startAgent(run.agent, run.args);
    if (run.rule.empty()) {
        EXPECT_TRUE(approveFromPhone());
    }
    auto result = agent->wait(180s);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    if (run.rule == "deny") {
        EXPECT_FALSE(commandRan());
        expectRecord("auto-denied", name);
        EXPECT_TRUE(modelSawOurReason());
        return;
    }
    EXPECT_TRUE(commandRan()) << result.out << result.err;
    expectRecord(run.rule.empty() ? "approved" : "auto-allowed", name);
    if (!run.rule.empty()) {
        expectRecord("tool", name);
        EXPECT_TRUE(sessionsEnded());
    }
}

using Agent = AgentHarness::Agent;
using Escalate = AgentHarness::Escalate;
// --approve-for-me makes Codex ask its hooks before its own reviewer; plain
// exec never asks, and its workspace sandbox would let the command run.
// Claude Code with Bash allowed up front never asks: only PreToolUse can stop it.
const std::vector<std::string> kCodexAsks = {"exec", "--skip-git-repo-check", "--approve-for-me",
                                             kPrompt};
INSTANTIATE_TEST_SUITE_P(
    Agents, AgentRun,
    ::testing::Values(
        AgentCase{"CodexAllowRule", Agent::codex, "allow", Escalate::yes, kCodexAsks},
        AgentCase{"CodexDenyRuleInPlainExec",
                  Agent::codex,
                  "deny",
                  Escalate::no,
                  {"exec", "--skip-git-repo-check", "--sandbox", "workspace-write", kPrompt}},
        AgentCase{"CodexPhoneApproval", Agent::codex, "", Escalate::yes, kCodexAsks},
        AgentCase{"ClaudeAllowRule", Agent::claude, "allow", Escalate::no, {"-p", kPrompt}},
        AgentCase{"ClaudeDenyRuleOnAnAllowedTool",
                  Agent::claude,
                  "deny",
                  Escalate::no,
                  {"-p", kPrompt, "--allowedTools", "Bash"}},
        AgentCase{"ClaudePhoneApproval", Agent::claude, "", Escalate::no, {"-p", kPrompt}}),
    [](const ::testing::TestParamInfo<AgentCase>& p) { return std::string(p.param.name); });

// Gemini CLI, Copilot CLI, Qwen Code and OpenCode gate at their pre-tool
// event (headless, none of them asks for permission): a deny rule, or a
// person allowing from the terminal, answers it before the shell tool runs.
// Between them the two cases cover each agent's deny and allow answers; an
// allow rule answers the gate in each agent's usage run (agent_usage_test).
struct HookedCase {
    const char* name;
    AgentHarness::Agent agent;
    const char* tool;  // the agent's own name for its shell tool
    bool denyRule;     // else a person allows from the terminal
};

class HookedAgentRun : public AgentContract, public ::testing::WithParamInterface<HookedCase> {};

TEST_P(HookedAgentRun, AnswersThePreToolGateAndRecordsIt) {
    const HookedCase& run = GetParam();
    if (run.denyRule) {
        learnRule("deny", run.tool);
    }
    startApp();
    startModel();
    installHooks(run.agent);
    auto agent = startAgent(run.agent, headlessArgs(run.agent, kPrompt));
    if (!run.denyRule) {
        EXPECT_TRUE(answerFromTerminal("allow"));
    }
    auto result = agent->wait(180s);
    EXPECT_EQ(commandRan(), !run.denyRule) << result.out << result.err;
    expectRecord(run.denyRule ? "auto-denied" : "approved", name(run.agent), run.tool);
    if (run.denyRule) {
        EXPECT_TRUE(modelSawOurReason());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Agents, HookedAgentRun,
    ::testing::Values(HookedCase{"GeminiDenyRule", Agent::gemini, "run_shell_command", true},
                      HookedCase{"GeminiTerminalAllow", Agent::gemini, "run_shell_command", false},
                      HookedCase{"CopilotDenyRule", Agent::copilot, "bash", true},
                      HookedCase{"CopilotTerminalAllow", Agent::copilot, "bash", false},
                      HookedCase{"QwenDenyRule", Agent::qwen, "run_shell_command", true},
                      HookedCase{"QwenTerminalAllow", Agent::qwen, "run_shell_command", false},
                      HookedCase{"OpenCodeDenyRule", Agent::opencode, "bash", true},
                      HookedCase{"OpenCodeTerminalAllow", Agent::opencode, "bash", false}),
    [](const ::testing::TestParamInfo<HookedCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vorla::test
