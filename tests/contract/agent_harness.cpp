#include "agent_harness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "e2e/e2e_support.h"

namespace vorla::test {

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kAgents = std::string(VORLA_SOURCE_DIR) + "/build/agents";
const std::string kAgentsBin = kAgents + "/node_modules/.bin/";

std::vector<nlohmann::json> jsonLines(const std::string& text) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        auto parsed = nlohmann::json::parse(line, nullptr, false);
        if (!parsed.is_discarded()) {
            lines.push_back(std::move(parsed));
        }
    }
    return lines;
}

std::string between(const std::string& text, const std::string& before, const std::string& after) {
    std::size_t start = text.find(before);
    if (start == std::string::npos) {
        return {};
    }
    start += before.size();
    return text.substr(start, text.find_first_of(after, start) - start);
}

// One plain HTTP request to 127.0.0.1; the response's first line.
std::string httpStatusLine(int port, const std::string& request) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
        char buffer[512];
        ssize_t n = ::read(fd, buffer, sizeof(buffer));
        reply.assign(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    ::close(fd);
    return reply.substr(0, reply.find('\r'));
}

}  // namespace

AgentHarness::AgentHarness() : project_("shop") {
    work_ = home.file("src/" + project_);
    fs::create_directories(work_);
    for (const char* bin : {"codex", "claude", "gemini", "copilot", "qwen", "opencode"}) {
        if (!fs::exists(kAgentsBin + bin)) {
            ADD_FAILURE() << kAgentsBin << bin
                          << " is missing: the contract tests need the pinned agent CLIs "
                             "(scripts/install-node-deps.sh, which `make test` runs)";
        }
    }
}

AgentHarness::~AgentHarness() {
    for (auto* child : {&app_, &model_}) {
        if (*child) {
            (*child)->kill(SIGTERM);
            (void)(*child)->wait(10s);
        }
    }
}

std::string AgentHarness::name(Agent agent) {
    switch (agent) {
        case Agent::codex:
            return "codex";
        case Agent::claude:
            return "claude";
        case Agent::gemini:
            return "gemini";
        case Agent::copilot:
            return "copilot";
        case Agent::qwen:
            return "qwen";
        case Agent::opencode:
            return "opencode";
    }
    return "";
}

std::map<std::string, std::optional<std::string>> AgentHarness::environment() const {
    const std::string model = "http://127.0.0.1:" + std::to_string(modelPort_);
    std::map<std::string, std::optional<std::string>> env = {
        {"HOME", home.path()},
        {"XDG_CONFIG_HOME", home.file(".config")},
        {"XDG_DATA_HOME", home.file(".local/share")},
        {"XDG_CACHE_HOME", home.file(".cache")},
        {"XDG_STATE_HOME", home.file(".local/state")},
        {"GEMINI_API_KEY", "contract-test"},
        {"GOOGLE_GEMINI_BASE_URL", model},
        {"GEMINI_CLI_NO_RELAUNCH", "1"},
        {"COPILOT_OFFLINE", "true"},
        {"COPILOT_PROVIDER_BASE_URL", model + "/v1"},
        {"COPILOT_PROVIDER_TYPE", "openai"},
        {"COPILOT_PROVIDER_API_KEY", "contract-test"},
        {"COPILOT_MODEL", "gpt-4.1"},
        {"COPILOT_AUTO_UPDATE", "false"},
        // Unpacked there once by scripts/install-node-deps.sh, not per HOME.
        {"COPILOT_CACHE_HOME", kAgents + "/copilot-cache"},
        {"OPENCODE_DISABLE_MODELS_FETCH", "1"},
        {"OPENCODE_DISABLE_AUTOUPDATE", "1"},
        {"OPENCODE_DISABLE_LSP_DOWNLOAD", "1"},
        // OpenCode runs npm for its plugin package before loading a plugin:
        // offline, npm gives up at once instead of waiting for the network.
        {"npm_config_offline", "true"},
        {"CODEX_HOME", home.file(".codex")},
        {"CLAUDE_CONFIG_DIR", home.file(".claude")},
        {"ANTHROPIC_BASE_URL", "http://127.0.0.1:" + std::to_string(modelPort_)},
        {"ANTHROPIC_API_KEY", "sk-contract-test"},
        // Claude Code's own traffic: update checks, telemetry, error reports.
        {"CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC", "1"},
        {"DISABLE_AUTOUPDATER", "1"},
        {"DISABLE_TELEMETRY", "1"},
        {"DISABLE_ERROR_REPORTING", "1"},
    };
    for (const char* unset :
         {"ANTHROPIC_AUTH_TOKEN", "OPENAI_API_KEY", "OPENAI_BASE_URL", "GROK_HOOK_EVENT",
          "GROK_SESSION_ID", "GEMINI_CLI_HOME", "COPILOT_HOME", "QWEN_HOME", "OPENCODE_CONFIG_DIR",
          "GOOGLE_API_KEY", "GOOGLE_CLOUD_PROJECT"}) {
        env[unset] = std::nullopt;
    }
    return env;
}

void AgentHarness::learnRule(const std::string& behavior, const std::string& tool) {
    nlohmann::json rules = nlohmann::json::array({{{"key", tool + ": " + kContractCommand},
                                                   {"behavior", behavior},
                                                   {"createdAt", 0},
                                                   {"timesFired", 0}}});
    home.write(".vorla-agents/data/rules.json", rules.dump());
}

void AgentHarness::startApp() {
    phoneURL_ = startPhoneApp(home, app_, environment());
    ASSERT_FALSE(phoneURL_.empty()) << home.read("app.err").value_or("");
}

void AgentHarness::startModel(Escalate escalate) {
    const std::string portFile = home.file("model.port");
    ChildOptions options;
    options.args = {"/usr/bin/env",
                    "python3",
                    std::string(VORLA_SOURCE_DIR) + "/tests/contract/mock_model_api.py",
                    "--command",
                    kContractCommand,
                    "--port-file",
                    portFile,
                    "--log",
                    home.file("model.log")};
    if (escalate == Escalate::yes) {
        options.args.push_back("--escalate");
    }
    model_ = std::make_unique<RunningChild>(options);
    ASSERT_TRUE(eventually([&] { return fs::exists(portFile); }, 30s))
        << "the mock model API did not start";
    modelPort_ = std::stoi(readFile(portFile).value_or("0"));
    writeCodexConfig(modelPort_);
    writeGeminiAndOpenCodeConfig(modelPort_);
}

void AgentHarness::writeGeminiAndOpenCodeConfig(int port) const {
    home.write(".gemini/settings.json", R"({
  "security": {"auth": {"selectedType": "gemini-api-key"}},
  "privacy": {"usageStatisticsEnabled": false},
  "general": {"enableAutoUpdate": false, "enableAutoUpdateNotification": false}
})");
    nlohmann::json provider = {{"npm", "@ai-sdk/openai-compatible"},
                               {"name", "Contract mock"},
                               {"options",
                                {{"baseURL", "http://127.0.0.1:" + std::to_string(port) + "/v1"},
                                 {"apiKey", "contract-test"}}},
                               {"models",
                                {{"mock-model",
                                  {{"name", "Mock"},
                                   {"tool_call", true},
                                   {"limit", {{"context", 100000}, {"output", 4096}}}}}}}};
    home.write(".config/opencode/opencode.json",
               nlohmann::json({{"autoupdate", false},
                               {"share", "disabled"},
                               {"permission", {{"bash", "allow"}, {"edit", "allow"}}},
                               {"provider", {{"mock", provider}}},
                               {"model", "mock/mock-model"}})
                   .dump(2));
    // Before it loads a plugin OpenCode runs npm in its config folder unless
    // node_modules is there and the lock file already holds its plugin
    // package: hand it the pinned copy instead of a long offline wait.
    const std::string config = home.file(".config/opencode");
    fs::create_directories(config + "/node_modules/@opencode-ai");
    fs::create_directory_symlink(kAgents + "/node_modules/@opencode-ai/plugin",
                                 config + "/node_modules/@opencode-ai/plugin");
    const nlohmann::json dependencies = {{"@opencode-ai/plugin", "1.18.33"}};
    home.write(".config/opencode/package.json",
               nlohmann::json({{"dependencies", dependencies}}).dump());
    home.write(".config/opencode/package-lock.json",
               nlohmann::json(
                   {{"lockfileVersion", 3}, {"packages", {{"", {{"dependencies", dependencies}}}}}})
                   .dump());
}

void AgentHarness::writeCodexConfig(int port) const {
    home.write(".codex/config.toml",
               "model = \"gpt-mock\"\n"
               "model_provider = \"contract\"\n"
               "check_for_update_on_startup = false\n"
               "\n"
               "[model_providers.contract]\n"
               "name = \"contract mock\"\n"
               "base_url = \"http://127.0.0.1:" +
                   std::to_string(port) +
                   "/v1\"\n"
                   "wire_api = \"responses\"\n"
                   "request_max_retries = 0\n"
                   "stream_max_retries = 0\n"
                   "\n"
                   "[features]\n"
                   "plugins = false\n");
}

void AgentHarness::installHooks(Agent agent) {
    ChildOptions options;
    options.args = {VORLA_APP_PATH, "hooks", "install", name(agent)};
    options.env = environment();
    ChildResult result = runChild(options);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
}

ChildOptions AgentHarness::agentOptions(Agent agent, const std::vector<std::string>& args) {
    ChildOptions options;
    // The agents take their project from the folder they start in.
    options.args = {"/bin/sh", "-c", "cd \"$0\" && exec \"$@\"", work_, kAgentsBin + name(agent)};
    options.args.insert(options.args.end(), args.begin(), args.end());
    options.env = environment();
    options.timeout = 180s;
    return options;
}

std::unique_ptr<RunningChild> AgentHarness::startAgent(Agent agent,
                                                       const std::vector<std::string>& args) {
    return std::make_unique<RunningChild>(agentOptions(agent, args));
}

std::vector<std::string> AgentHarness::headlessArgs(Agent agent, const std::string& prompt) const {
    switch (agent) {
        case Agent::gemini:
            return {"-m",
                    "gemini-2.5-flash",
                    "--approval-mode",
                    "yolo",
                    "--skip-trust",
                    "-o",
                    "json",
                    "-p",
                    prompt};
        case Agent::copilot:
            return {"-p", prompt, "--allow-all-tools", "--output-format", "json"};
        case Agent::qwen:
            return {"--auth-type",
                    "openai",
                    "--openai-base-url",
                    "http://127.0.0.1:" + std::to_string(modelPort_) + "/v1",
                    "--openai-api-key",
                    "contract-test",
                    "-m",
                    "mock-model",
                    "--approval-mode",
                    "yolo",
                    "-o",
                    "json",
                    prompt};
        case Agent::opencode:
            return {"run", "--format", "json", "-m", "mock/mock-model", prompt};
        case Agent::codex:
        case Agent::claude:
            break;
    }
    return {prompt};
}

nlohmann::json AgentHarness::usageSnapshot() const {
    ChildOptions options;
    options.args = {VORLA_APP_PATH, "usage", "--json"};
    options.env = environment();
    options.env["TZ"] = "UTC";  // the records' days are UTC dates
    ChildResult result = runChild(options);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return nlohmann::json::parse(result.out, nullptr, false);
}

std::string AgentHarness::pendingGate() const {
    std::string id;
    eventually(
        [&] {
            nlohmann::json now = publishedState(home);
            if (now.is_object() && now["pending"].is_array() && !now["pending"].empty()) {
                id = now["pending"][0].value("id", "");
            }
            return !id.empty();
        },
        120s);
    if (id.empty()) {
        ADD_FAILURE() << "no gate to answer; app log: " << home.read("app.err").value_or("");
    }
    return id;
}

bool AgentHarness::answerFromTerminal(const std::string& verb) {
    const std::string id = pendingGate();
    if (id.empty()) {
        return false;
    }
    ChildOptions options;
    options.args = {VORLA_APP_PATH, verb, id};
    options.env = environment();
    ChildResult result = runChild(options);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    return result.exitCode == 0;
}

bool AgentHarness::approveFromPhone() {
    std::string port = between(phoneURL_.substr(phoneURL_.find("://") + 3), ":", "/");
    std::string token = between(phoneURL_, "?t=", "& \n");
    const std::string id = pendingGate();
    if (id.empty() || port.empty()) {
        return false;
    }
    // The page answers only requests that name this computer.
    const std::string request = "POST /?t=" + token + "&id=" + id +
                                "&a=allow HTTP/1.1\r\nHost: 127.0.0.1:" + port +
                                "\r\nContent-Length: 0\r\n\r\n";
    std::string status = httpStatusLine(std::stoi(port), request);
    EXPECT_EQ(status, "HTTP/1.1 200 OK");
    return status == "HTTP/1.1 200 OK";
}

bool AgentHarness::commandRan() const {
    return fs::exists(work_ + "/contract-ran");
}

std::vector<nlohmann::json> AgentHarness::audit() const {
    return jsonLines(auditText(home));
}

std::vector<nlohmann::json> AgentHarness::modelRequests() const {
    return jsonLines(home.read("model.log").value_or(""));
}

}  // namespace vorla::test
