#include "engine/support/process_tree.h"

#include <array>
#include <charconv>
#include <string_view>

#include "core/unique_fd.h"

namespace vorla {

namespace {

// Shells a hook command may run through; their parent is the agent.
constexpr std::array<std::string_view, 8> kShells = {"sh",  "bash", "dash", "zsh",
                                                     "ash", "ksh",  "mksh", "fish"};

// Variables agents set for the commands and hooks they run.
constexpr std::array<std::string_view, 6> kMarkerNames = {
    "CLAUDECODE", "GEMINI_CLI", "QWEN_CODE", "OPENCODE", "CODEX_SANDBOX", "GROK_SESSION_ID"};

// A parent chain longer than this is a loop (a pid reused meanwhile).
constexpr int kMaxDepth = 4096;

template <typename Number>
bool parseNumber(std::string_view text, Number& out) {
    const auto* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, out);
    return error == std::errc() && stop == end;
}

// The space-separated field `index` (0-based) of `text`.
std::string_view fieldAt(std::string_view text, int index) {
    std::size_t start = 0;
    for (int i = 0; i < index && start != std::string_view::npos; ++i) {
        start = text.find(' ', start);
        start = start == std::string_view::npos ? start : start + 1;
    }
    if (start == std::string_view::npos) {
        return {};
    }
    return text.substr(start, text.find(' ', start) - start);
}

// The NUL-separated NAME=value entries of /proc/<pid>/environ.
std::vector<std::string> environmentOf(pid_t pid) {
    std::vector<std::string> entries;
    if (pid <= 0) {
        return entries;
    }
    const std::string text = readFile("/proc/" + std::to_string(pid) + "/environ").value_or("");
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\0', start);
        end = end == std::string::npos ? text.size() : end;
        entries.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

}  // namespace

std::optional<ProcessInfo> processInfo(pid_t pid) {
    if (pid <= 0) {
        return std::nullopt;
    }
    auto text = readFile("/proc/" + std::to_string(pid) + "/stat");
    if (!text) {
        return std::nullopt;
    }
    // "pid (name) state ppid ...": the name may hold spaces and parentheses,
    // so the fields after it are counted from the last ')'.
    const auto open = text->find('(');
    const auto close = text->rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open ||
        close + 2 > text->size()) {
        return std::nullopt;
    }
    const std::string_view rest = std::string_view(*text).substr(close + 2);
    ProcessInfo info;
    info.identity.pid = pid;
    info.name = text->substr(open + 1, close - open - 1);
    // After the name: state (field 3), ppid (4), ..., starttime (22).
    if (!parseNumber(fieldAt(rest, 1), info.parent) ||
        !parseNumber(fieldAt(rest, 19), info.identity.startTime)) {
        return std::nullopt;
    }
    return info;
}

std::optional<ProcessIdentity> agentOfBridge(pid_t bridge) {
    auto self = processInfo(bridge);
    if (!self) {
        return std::nullopt;
    }
    auto parent = processInfo(self->parent);
    if (!parent) {
        return std::nullopt;
    }
    for (std::string_view shell : kShells) {
        if (parent->name == shell) {
            parent = processInfo(parent->parent);
            break;
        }
    }
    // An orphan's parent is init (or a reaper): no agent to speak of.
    if (!parent || parent->identity.pid <= 1) {
        return std::nullopt;
    }
    return parent->identity;
}

bool runsUnder(pid_t process, const ProcessIdentity& ancestor) {
    pid_t pid = process;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        auto info = processInfo(pid);
        if (!info) {
            return true;
        }
        if (info->identity == ancestor) {
            return true;
        }
        if (info->parent <= 1) {
            return false;
        }
        pid = info->parent;
    }
    return true;
}

std::vector<std::string> agentMarkers(pid_t pid) {
    std::vector<std::string> markers;
    for (std::string& entry : environmentOf(pid)) {
        const std::string_view name = std::string_view(entry).substr(0, entry.find('='));
        for (std::string_view marker : kMarkerNames) {
            if (name == marker && name.size() < entry.size()) {
                markers.push_back(std::move(entry));
                break;
            }
        }
    }
    return markers;
}

bool carriesAnyOf(pid_t pid, const std::vector<std::string>& markers) {
    if (markers.empty()) {
        return false;
    }
    for (const std::string& entry : environmentOf(pid)) {
        for (const std::string& marker : markers) {
            if (entry == marker) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace vorla
