#include "engine/installer/hook_layout.h"

#include <algorithm>

#include "core/text.h"

namespace vorla::installer {

namespace {

using nlohmann::json;

constexpr int kGateTimeout = 86400;  // the bridge blocks here until the user answers
constexpr int kQuickTimeout = 5;
constexpr int kMillisecondsPerSecond = 1000;
constexpr int kCodexSessionEndTimeout = 3;  // Codex cuts longer ones to 3 s, with a warning
constexpr std::string_view kAny = "*";
constexpr std::string_view kEmpty;

}  // namespace

std::string stagedBridgePath(const std::string& home) {
    return home + "/.vorla-agents/bin/vorla-bridge";
}

std::string shellQuoted(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        // A quote cannot be escaped inside single quotes: close, add \', reopen.
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string ourCommand(const std::string& home, Source agent) {
    return shellQuoted(stagedBridgePath(home)) + " --source " + std::string(rawValue(agent));
}

json hookEntry(const std::string& home, Source agent, int timeout) {
    return json{{"type", "command"}, {"command", ourCommand(home, agent)}, {"timeout", timeout}};
}

json group(const std::string& home, Source agent, std::optional<std::string_view> matcher,
           int timeout) {
    json result{{"hooks", json::array({hookEntry(home, agent, timeout)})}};
    if (matcher) {
        result["matcher"] = std::string(*matcher);
    }
    return result;
}

json claudeHooks(const std::string& home) {
    auto one = [&](std::optional<std::string_view> matcher, int timeout) {
        return json::array({group(home, Source::claude, matcher, timeout)});
    };
    return json{
        {"PermissionRequest", one(kAny, kGateTimeout)},
        {"PreToolUse", one(kAny, kGateTimeout)},
        {"PostToolUse", one(kAny, kQuickTimeout)},
        {"UserPromptSubmit", one(std::nullopt, kQuickTimeout)},
        {"SessionStart", one(std::nullopt, kQuickTimeout)},
        {"SessionEnd", one(std::nullopt, kQuickTimeout)},
        {"Stop", one(std::nullopt, kQuickTimeout)},
        {"Notification", one(kAny, kQuickTimeout)},
    };
}

json codexHooks(const std::string& home) {
    auto one = [&](std::optional<std::string_view> matcher, int timeout) {
        return json::array({group(home, Source::codex, matcher, timeout)});
    };
    return json{
        {"PermissionRequest", one(std::nullopt, kGateTimeout)},
        {"PreToolUse", one(kEmpty, kGateTimeout)},
        {"PostToolUse", one(kEmpty, kQuickTimeout)},
        {"UserPromptSubmit", one(std::nullopt, kQuickTimeout)},
        {"SessionStart", one(std::nullopt, kQuickTimeout)},
        {"SessionEnd", one(std::nullopt, kCodexSessionEndTimeout)},
        {"Stop", one(std::nullopt, kQuickTimeout)},
    };
}

json grokHooks(const std::string& home) {
    auto one = [&](std::optional<std::string_view> matcher, int timeout) {
        return json::array({group(home, Source::grok, matcher, timeout)});
    };
    return json{
        {"PreToolUse", one(kEmpty, kGateTimeout)},
        {"PostToolUse", one(kEmpty, kQuickTimeout)},
        {"SessionStart", one(std::nullopt, kQuickTimeout)},
        {"SessionEnd", one(std::nullopt, kQuickTimeout)},
        {"Stop", one(std::nullopt, kQuickTimeout)},
    };
}

json geminiHooks(const std::string& home) {
    auto one = [&](std::optional<std::string_view> matcher, int seconds) {
        return json::array(
            {group(home, Source::gemini, matcher, seconds * kMillisecondsPerSecond)});
    };
    return json{
        {"BeforeTool", one(kEmpty, kGateTimeout)},
        {"AfterTool", one(kEmpty, kQuickTimeout)},
        {"BeforeAgent", one(std::nullopt, kQuickTimeout)},
        {"AfterAgent", one(std::nullopt, kQuickTimeout)},
        {"SessionStart", one(std::nullopt, kQuickTimeout)},
        {"SessionEnd", one(std::nullopt, kQuickTimeout)},
        {"Notification", one(std::nullopt, kQuickTimeout)},
    };
}

json qwenHooks(const std::string& home) {
    auto one = [&](int seconds) {
        return json::array(
            {group(home, Source::qwen, std::nullopt, seconds * kMillisecondsPerSecond)});
    };
    return json{
        {"PreToolUse", one(kGateTimeout)},        {"PostToolUse", one(kQuickTimeout)},
        {"UserPromptSubmit", one(kQuickTimeout)}, {"SessionStart", one(kQuickTimeout)},
        {"SessionEnd", one(kQuickTimeout)},       {"Stop", one(kQuickTimeout)},
        {"Notification", one(kQuickTimeout)},
    };
}

json copilotHookFile(const std::string& home) {
    json hooks = json::object();
    for (const auto& [event, seconds] : {std::pair<const char*, int>{"preToolUse", kGateTimeout},
                                         {"postToolUse", kQuickTimeout},
                                         {"userPromptSubmitted", kQuickTimeout},
                                         {"sessionStart", kQuickTimeout},
                                         {"sessionEnd", kQuickTimeout},
                                         {"agentStop", kQuickTimeout}}) {
        hooks[event] =
            json::array({{{"type", "command"},
                          {"bash", ourCommand(home, Source::copilot) + " --event " + event},
                          {"timeoutSec", seconds}}});
    }
    return json{{"version", 1}, {"hooks", std::move(hooks)}};
}

std::string commandOf(const json& entry) {
    if (!entry.is_object()) {
        return {};
    }
    auto found = entry.find("command");
    return found != entry.end() && found->is_string() ? found->get<std::string>() : std::string();
}

bool isOurs(std::string_view command, const std::string& home) {
    for (Source agent : kAllSources) {
        if (command == ourCommand(home, agent)) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> foreignOwnerOf(std::string_view command) {
    if (command.find("pebble-harbor") != std::string_view::npos) {
        return std::string(kPebbleHarbor);
    }
    if (command.find("notch") != std::string_view::npos ||
        command.find("island") != std::string_view::npos) {
        return std::string(kAnotherNotchApp);
    }
    return std::nullopt;
}

namespace {

// The entries of a group's "hooks" list; a missing or mistyped list is empty.
const json& entriesOf(const json& group) {
    static const json kNone = json::array();
    if (!group.is_object()) {
        return kNone;
    }
    auto found = group.find("hooks");
    return found != group.end() && found->is_array() ? *found : kNone;
}

}  // namespace

ScanResult scan(const json& hooks, const std::string& home) {
    ScanResult result;
    if (!hooks.is_object()) {
        return result;
    }
    for (const auto& [event, groups] : hooks.items()) {
        if (!groups.is_array()) {
            continue;
        }
        // Items that are not groups count as groups without entries: the
        // rest of the list is still searched.
        for (const json& g : groups) {
            for (const json& entry : entriesOf(g)) {
                std::string command = commandOf(entry);
                if (isOurs(command, home)) {
                    result.ours = true;
                } else if (auto owner = foreignOwnerOf(command)) {
                    result.foreignOwner = std::move(owner);
                }
            }
        }
    }
    return result;
}

std::string evictionNeedle(std::string_view owner) {
    const std::string lower = asciiLower(owner);
    return lower.find("pebble") != std::string::npos ? "pebble-harbor" : "island";
}

}  // namespace vorla::installer
