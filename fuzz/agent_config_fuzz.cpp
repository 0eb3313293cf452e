// libFuzzer target: the agents' own configuration files that the installer
// merges its hooks into and strips them out of again: Claude Code's
// settings.json, Codex's hooks.json, Grok's config.toml. The first byte picks
// the agent. A reported install shows as installed, and every setting outside
// the hooks survives an install and an uninstall untouched.
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "engine/installer/hook_layout.h"
#include "engine/installer/installer.h"
#include "fuzz_support.h"
#include "support/manual_clock.h"

namespace {

using namespace vorla;
using nlohmann::json;

struct Target {
    Source agent;
    const char* file;
    std::size_t index;  // in Installer::agents()
};

constexpr Target kTargets[] = {
    {Source::claude, ".claude/settings.json", 0},
    {Source::codex, ".codex/hooks.json", 1},
    {Source::grok, ".grok/config.toml", 2},
};

std::optional<json> objectIn(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    json parsed = json::parse(bytes.str(), nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) {
        return std::nullopt;
    }
    return parsed;
}

// Every member but the ones we own must be as it was.
void checkKept(const json& before, const std::optional<json>& after) {
    fuzz::check(after.has_value());
    for (const auto& [key, value] : before.items()) {
        if (key != "hooks" && key != "statusLine") {
            fuzz::check(after->contains(key) && (*after)[key] == value);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static const test::ManualClock clock(fromEpochSeconds(1748786589));
    static const std::string bridge = [] {
        std::string path = fuzz::scratchDir() + "/vorla-bridge";
        fuzz::writeFile(path, "#!/bin/sh\nexit 0\n");
        return path;
    }();
    const Target& target = kTargets[data[0] % 3];
    const std::string home = fuzz::scratchDir() + "/home";
    std::filesystem::remove_all(home);
    const std::string path = home + "/" + target.file;
    fuzz::writeFile(path, fuzz::text(data + 1, size - 1));
    const std::optional<json> before = target.agent == Source::grok ? std::nullopt : objectIn(path);

    Installer installer(home, {bridge}, clock);
    if (installer.install(target.agent)) {
        fuzz::check(installer.agents()[target.index].status == Installer::Status::installed());
        if (before) {
            checkKept(*before, objectIn(path));
        }
    }
    (void)installer.evict(std::string(installer::kPebbleHarbor), target.agent);
    if (installer.uninstall(target.agent) && before) {
        checkKept(*before, objectIn(path));
    }
    return 0;
}
