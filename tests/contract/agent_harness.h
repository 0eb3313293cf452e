// The real agent CLIs (Codex, Claude Code, Gemini CLI, Copilot CLI, Qwen Code
// and OpenCode, pinned, from build/agents) run offline against
// tests/contract/mock_model_api.py, with our hooks exactly as
// `vorla-agents hooks install` writes them and the headless app answering.
// Everything lives under one temporary HOME; the agents' own network traffic
// is switched off so nothing leaves the machine.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_home.h"

namespace vorla::test {

// The command every mock model asks the agent to run, inside the project
// folder; the file it creates is how a test sees that it ran.
inline constexpr const char* kContractCommand = "touch contract-ran";

class AgentHarness : public ::testing::Test {
  public:
    enum class Agent { codex, claude, gemini, copilot, qwen, opencode };
    // The agent's name on our command line ("codex", "gemini", ...).
    static std::string name(Agent agent);
    // Whether the mock asks Codex to leave its sandbox, which makes Codex ask
    // for approval when its policy lets it ask.
    enum class Escalate { no, yes };

  protected:
    AgentHarness();
    ~AgentHarness() override;

    // Writes one learned rule for the contract command run through `tool`
    // (before startApp).
    void learnRule(const std::string& behavior, const std::string& tool = "Bash");
    // The headless app, with phone approvals on a free port.
    void startApp();
    // The model stand-in; Codex's config.toml points at it.
    void startModel(Escalate escalate = Escalate::no);
    // `vorla-agents hooks install <agent>`; fails the test unless it worked.
    void installHooks(Agent agent);
    // Starts the agent in the project folder with `args` after its program.
    std::unique_ptr<RunningChild> startAgent(Agent agent, const std::vector<std::string>& args);
    // The arguments that run Gemini, Copilot, Qwen or OpenCode headless on
    // `prompt` against the mock, running tools without asking.
    [[nodiscard]] std::vector<std::string> headlessArgs(Agent agent,
                                                        const std::string& prompt) const;
    // `vorla-agents usage --json` in this home.
    [[nodiscard]] nlohmann::json usageSnapshot() const;

    // Answers the first pending gate through the phone page's own request.
    bool approveFromPhone();
    // Answers the first pending gate with `vorla-agents allow|deny <id>`.
    bool answerFromTerminal(const std::string& verb);

    [[nodiscard]] bool commandRan() const;
    // Audit records written so far (today's file).
    [[nodiscard]] std::vector<nlohmann::json> audit() const;
    // Every request body the agent sent the model, in order.
    [[nodiscard]] std::vector<nlohmann::json> modelRequests() const;
    [[nodiscard]] std::string project() const { return project_; }

    TempHome home;

  private:
    [[nodiscard]] ChildOptions agentOptions(Agent agent, const std::vector<std::string>& args);
    [[nodiscard]] std::map<std::string, std::optional<std::string>> environment() const;
    void writeCodexConfig(int port) const;
    void writeGeminiAndOpenCodeConfig(int port) const;
    // The id of the first gate waiting for a person (empty after 120 s).
    [[nodiscard]] std::string pendingGate() const;

    std::string project_;
    std::string work_;
    std::unique_ptr<RunningChild> model_;
    std::unique_ptr<RunningChild> app_;
    std::string phoneURL_;
    int modelPort_ = 0;
};

}  // namespace vorla::test
