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
    void expectRecord(const std::string& kind, const std::string& agent) {
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
        EXPECT_EQ(entry.value("tool", ""), "Bash");
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
            json now = state();
            return now.is_object() && now["sessions"].is_array() && now["sessions"].empty();
        });
    }
};

TEST_F(AgentContract, CodexAllowRuleLetsTheCommandRunWhenCodexAsks) {
    learnRule("allow");
    startApp();
    startModel(Escalate::yes);
    installHooks(Agent::codex);
    // --approve-for-me makes Codex ask its hooks before its own reviewer.
    auto run =
        runAgent(Agent::codex, {"exec", "--skip-git-repo-check", "--approve-for-me", kPrompt});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(commandRan()) << run.out << run.err;
    expectRecord("auto-allowed", "codex");
    expectRecord("tool", "codex");
    EXPECT_TRUE(sessionsEnded());
}

TEST_F(AgentContract, CodexDenyRuleStopsTheCommandInPlainExec) {
    learnRule("deny");
    startApp();
    startModel();
    installHooks(Agent::codex);
    // Plain exec never asks, and the workspace sandbox would let it run.
    auto run = runAgent(Agent::codex,
                        {"exec", "--skip-git-repo-check", "--sandbox", "workspace-write", kPrompt});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(commandRan());
    expectRecord("auto-denied", "codex");
    EXPECT_TRUE(modelSawOurReason());
}

TEST_F(AgentContract, CodexPhoneApprovalLetsTheCommandRun) {
    startApp();
    startModel(Escalate::yes);
    installHooks(Agent::codex);
    auto agent =
        startAgent(Agent::codex, {"exec", "--skip-git-repo-check", "--approve-for-me", kPrompt});
    EXPECT_TRUE(approveFromPhone());
    auto run = agent->wait(180s);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(commandRan()) << run.out << run.err;
    expectRecord("approved", "codex");
}

TEST_F(AgentContract, ClaudeAllowRuleLetsTheCommandRun) {
    learnRule("allow");
    startApp();
    startModel();
    installHooks(Agent::claude);
    auto run = runAgent(Agent::claude, {"-p", kPrompt});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(commandRan()) << run.out << run.err;
    expectRecord("auto-allowed", "claude");
    expectRecord("tool", "claude");
    EXPECT_TRUE(sessionsEnded());
}

TEST_F(AgentContract, ClaudeDenyRuleStopsAnAlreadyAllowedCommandInPrintMode) {
    learnRule("deny");
    startApp();
    startModel();
    installHooks(Agent::claude);
    // Bash allowed up front: Claude Code never asks, so only PreToolUse can stop it.
    auto run = runAgent(Agent::claude, {"-p", kPrompt, "--allowedTools", "Bash"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(commandRan());
    expectRecord("auto-denied", "claude");
    EXPECT_TRUE(modelSawOurReason());
}

TEST_F(AgentContract, ClaudePhoneApprovalLetsTheCommandRun) {
    startApp();
    startModel();
    installHooks(Agent::claude);
    auto agent = startAgent(Agent::claude, {"-p", kPrompt});
    EXPECT_TRUE(approveFromPhone());
    auto run = agent->wait(180s);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(commandRan()) << run.out << run.err;
    expectRecord("approved", "claude");
}

}  // namespace
}  // namespace vorla::test
