#include "engine/policy/path_rules.h"

#include <pwd.h>
#include <re2/re2.h>
#include <re2/set.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>
#include <tuple>

#include "core/paths.h"
#include "core/text.h"
#include "engine/support/agent_dirs.h"

namespace vorla::PathRules {

namespace {

// How a place's text must be bounded to count: as a whole path component
// (".bashrc" but not "x.bashrc" or ".bashrc.bak"), only at its end, or not at
// all. A line feed separates words.
enum class Bounds { component, end, none };

struct Place {
    Bounds bounds;
    const char* pattern;  // its first group, when it has one, names the file
    const char* reason;   // a trailing "(" is closed with the group's text
};

constexpr std::array<Place, 20> kPlaces = {{
    {Bounds::component, R"(\.vorla-agents)", "touches Vorla Agents' own files (~/.vorla-agents)"},
    {Bounds::component, R"(\.claude(?:\.json)?)",
     "touches Claude Code's settings and hooks (~/.claude)"},
    {Bounds::none, R"(\$\{?CLAUDE_CONFIG_DIR\b)",
     "touches Claude Code's settings and hooks (~/.claude)"},
    {Bounds::component, R"(\.codex)", "touches Codex's settings and hooks (~/.codex)"},
    {Bounds::none, R"(\$\{?CODEX_HOME\b)", "touches Codex's settings and hooks (~/.codex)"},
    {Bounds::component, R"(\.grok)", "touches Grok's settings and hooks (~/.grok)"},
    {Bounds::component, R"(\.kiro)", "touches Kiro's settings and hooks (~/.kiro)"},
    {Bounds::component, R"(\.gemini)", "touches Gemini CLI's settings and hooks (~/.gemini)"},
    {Bounds::component, R"(\.qwen)", "touches Qwen Code's settings and hooks (~/.qwen)"},
    {Bounds::component, R"(\.copilot)", "touches Copilot CLI's settings and hooks (~/.copilot)"},
    {Bounds::none, R"(\$\{?COPILOT_HOME\b)",
     "touches Copilot CLI's settings and hooks (~/.copilot)"},
    {Bounds::end, R"(\.config/opencode)",
     "touches OpenCode's settings and plugins (~/.config/opencode)"},
    {Bounds::none, R"(\$\{?OPENCODE_CONFIG_DIR\b|XDG_CONFIG_HOME\W{0,3}/opencode)",
     "touches OpenCode's settings and plugins (~/.config/opencode)"},
    {Bounds::component,
     R"((\.(?:bashrc|bash_profile|bash_login|bash_logout|profile|zshrc|zprofile|zshenv|zlogin|zlogout|inputrc)))",
     "touches a shell start-up file ("},
    {Bounds::end, R"(\.config/fish)", "touches a shell start-up file (~/.config/fish)"},
    {Bounds::component, R"(\.ssh)", "touches SSH keys and settings (~/.ssh)"},
    {Bounds::end, R"(\.git/hooks)", "touches git hooks (.git/hooks)"},
    {Bounds::end, R"(\.git/config)",
     "touches git's settings, which can run commands (.git/config)"},
    {Bounds::none, R"(core\.hookspath)", "changes where git looks for hooks (core.hooksPath)"},
    {Bounds::none, R"(\$\{?GIT_DIR\b)",
     "touches git's settings, which can run commands ($GIT_DIR)"},
}};

std::string patternOf(const Place& place) {
    constexpr std::string_view kStart = "(?:^|[^a-z0-9_.-])";
    constexpr std::string_view kEnd = "(?:$|[^a-z0-9_.-])";
    std::string pattern = place.bounds == Bounds::component ? std::string(kStart) : std::string();
    pattern += place.pattern;
    if (place.bounds != Bounds::none) {
        pattern += kEnd;
    }
    return pattern;
}

RE2::Options placeOptions() {
    RE2::Options options;
    options.set_case_sensitive(false);  // macOS folders ignore case, and so do git keys
    options.set_log_errors(false);
    options.set_max_mem(32 << 20);
    return options;
}

class PlaceTable {
  public:
    PlaceTable() : set_(placeOptions(), RE2::UNANCHORED) {
        for (const Place& place : kPlaces) {
            set_.Add(patternOf(place), nullptr);
            single_.push_back(std::make_unique<RE2>(patternOf(place), placeOptions()));
        }
        set_.Compile();
    }

    [[nodiscard]] std::vector<std::string> reasons(std::string_view text) const {
        const re2::StringPiece piece(text.data(), text.size());
        std::vector<int> hits;
        RE2::Set::ErrorInfo error{};
        if (!set_.Match(piece, &hits, &error) && error.kind != RE2::Set::kNoError) {
            hits.clear();  // out of memory: fall back to one search per row
            for (std::size_t i = 0; i < single_.size(); ++i) {
                if (RE2::PartialMatch(piece, *single_[i])) {
                    hits.push_back(static_cast<int>(i));
                }
            }
        }
        std::vector<std::string> found;
        for (int hit : hits) {
            const auto index = static_cast<std::size_t>(hit);
            std::string reason = kPlaces.at(index).reason;
            if (reason.ends_with('(')) {
                std::string name;
                RE2::PartialMatch(piece, *single_[index], &name);
                reason += name + ")";
            }
            found.push_back(std::move(reason));
        }
        return found;
    }

  private:
    RE2::Set set_;
    std::vector<std::unique_ptr<RE2>> single_;
};

const PlaceTable& places() {
    static const PlaceTable table;  // immutable after its thread-safe construction
    return table;
}

std::string userHome(const std::string& user) {
    passwd entry{};
    passwd* found = nullptr;
    std::array<char, 4096> buffer{};
    if (getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || entry.pw_dir == nullptr) {
        return {};
    }
    return entry.pw_dir;
}

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

}  // namespace

std::string expandHome(std::string_view path) {
    for (std::string_view prefix : {std::string_view("${HOME}"), std::string_view("$HOME")}) {
        if (path.starts_with(prefix) &&
            (path.size() == prefix.size() || path[prefix.size()] == '/')) {
            return homeDirectory() + std::string(path.substr(prefix.size()));
        }
    }
    if (!path.starts_with('~')) {
        return std::string(path);
    }
    const std::size_t slash = path.find('/');
    const std::string user(path.substr(1, slash == std::string_view::npos ? path.npos : slash - 1));
    const std::string rest(slash == std::string_view::npos ? "" : path.substr(slash));
    if (user.empty()) {
        return homeDirectory() + rest;
    }
    const std::string home = userHome(user);
    return home.empty() ? std::string(path) : home + rest;
}

std::optional<std::string> normalise(std::string_view path, const std::optional<std::string>& cwd) {
    std::string expanded = expandHome(path);
    if (expanded.empty()) {
        return std::nullopt;
    }
    if (!expanded.starts_with('/')) {
        if (!cwd || !cwd->starts_with('/')) {
            return std::nullopt;
        }
        expanded = *cwd + "/" + expanded;
    }
    // weakly_canonical resolves the links of the part that exists and folds
    // the rest by its text, which is what a later create would follow.
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(expanded, error);
    if (error) {
        resolved = std::filesystem::path(expanded).lexically_normal();
    }
    return withoutTrailingSlashes(resolved.string());
}

bool isInside(std::string_view path, std::string_view folder) {
    if (folder == "/") {
        return path.starts_with('/');
    }
    return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

std::vector<std::string> protectedReasons(std::string_view text) {
    std::vector<std::string> reasons = places().reasons(text);
    // Folders the agents were told to use instead of the usual ones (looked
    // up only when set: resolving them costs more than the search above).
    const bool moved =
        std::getenv("CLAUDE_CONFIG_DIR") != nullptr || std::getenv("CODEX_HOME") != nullptr ||
        std::getenv("COPILOT_HOME") != nullptr || std::getenv("OPENCODE_CONFIG_DIR") != nullptr ||
        std::getenv("XDG_CONFIG_HOME") != nullptr;
    if (!moved) {
        return reasons;
    }
    const std::string home = homeDirectory();
    for (const auto& [folder, usual, agent] :
         {std::tuple(claudeConfigDir(home), home + "/.claude", "Claude Code"),
          std::tuple(codexHome(home), home + "/.codex", "Codex"),
          std::tuple(copilotHome(home), home + "/.copilot", "Copilot CLI"),
          std::tuple(openCodeConfigDir(home), home + "/.config/opencode", "OpenCode")}) {
        if (folder != usual && text.find(folder) != std::string_view::npos) {
            reasons.push_back(std::string("touches ") + agent + "'s settings and hooks (" + folder +
                              ")");
        }
    }
    return reasons;
}

std::optional<std::string> secretName(std::string_view word) {
    const std::string lower = asciiLower(word);
    std::string_view rest = lower;
    if (const std::size_t equals = rest.rfind('='); equals != std::string_view::npos) {
        rest.remove_prefix(equals + 1);  // --file=.env
    }
    std::string_view base = rest;
    for (std::size_t slash; (slash = rest.find('/')) != std::string_view::npos;) {
        const std::string_view component = rest.substr(0, slash);
        if (component == ".ssh" || component == ".aws" || component == ".gnupg") {
            return "~/" + std::string(component);
        }
        rest.remove_prefix(slash + 1);
        base = rest;
    }
    if (base == ".ssh" || base == ".aws" || base == ".gnupg") {
        return "~/" + std::string(base);
    }
    const bool pathLike = lower.find_first_of("/.") != std::string::npos;
    constexpr std::array<std::string_view, 4> kKeys = {"id_rsa", "id_ed25519", "id_ecdsa",
                                                       "id_dsa"};
    const bool key = std::any_of(kKeys.begin(), kKeys.end(),
                                 [&](std::string_view k) { return base.starts_with(k); });
    if (base.starts_with(".env") || base.ends_with(".pem") || key || base == ".netrc" ||
        base == ".pgpass" || (pathLike && base.find("credentials") != std::string_view::npos)) {
        return std::string(base);
    }
    return std::nullopt;
}

}  // namespace vorla::PathRules
