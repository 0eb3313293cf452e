#include "engine/support/agent_dirs.h"

#include <cstdlib>
#include <filesystem>
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

}  // namespace vorla
