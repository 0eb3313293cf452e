#include "engine/support/agent_dirs.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace vorla {

namespace {

// A relative value is taken from the current folder, as the agent would.
std::string fromEnvironment(const char* name, std::string fallback) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return fallback;
    }
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(value, error);
    std::string path = error ? std::string(value) : absolute.lexically_normal().string();
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

}  // namespace

std::string claudeConfigDir(const std::string& home) {
    return fromEnvironment("CLAUDE_CONFIG_DIR", home + "/.claude");
}

std::string codexHome(const std::string& home) {
    return fromEnvironment("CODEX_HOME", home + "/.codex");
}

std::string geminiDir(const std::string& home) {
    return fromEnvironment("GEMINI_CLI_HOME", home) + "/.gemini";
}

std::string copilotHome(const std::string& home) {
    return fromEnvironment("COPILOT_HOME", home + "/.copilot");
}

std::string qwenHome(const std::string& home) {
    const char* value = std::getenv("QWEN_HOME");
    std::string_view configured = value == nullptr ? "" : value;
    if (configured == "~") {
        return home;
    }
    if (configured.starts_with("~/")) {
        return home + std::string(configured.substr(1));
    }
    return fromEnvironment("QWEN_HOME", home + "/.qwen");
}

std::string opencodeDataDir(const std::string& home) {
    return fromEnvironment("XDG_DATA_HOME", home + "/.local/share") + "/opencode";
}

std::string openCodeConfigDir(const std::string& home) {
    const std::string config = fromEnvironment("XDG_CONFIG_HOME", home + "/.config");
    return fromEnvironment("OPENCODE_CONFIG_DIR", config + "/opencode");
}

}  // namespace vorla
