#include "engine/policy/risk_engine.h"

#include <pwd.h>
#include <re2/re2.h>
#include <re2/set.h>

#include <algorithm>
#include <array>
#include <memory>

#include "core/paths.h"
#include "core/text.h"

namespace vorla {

namespace {

struct Row {
    const char* pattern;
    const char* reason;
};

constexpr std::array<Row, 14> kDestructive = {{
    {R"(\brm\s+(-[a-zA-Z]*[rf][a-zA-Z]*\s+)+)", "recursive/forced delete"},
    {R"(\bgit\s+push\b.*(--force|-f)\b)", "force push — rewrites remote history"},
    {R"(\bgit\s+reset\s+--hard\b)", "discards all local changes"},
    {R"(\bgit\s+clean\s+-[a-zA-Z]*f)", "deletes untracked files"},
    {R"(\b(mkfs|dd)\b)", "writes raw to a disk"},
    {R"(:\(\)\s*\{.*\};\s*:)", "fork bomb"},
    {R"(\bchmod\s+(-R\s+)?777\b)", "world-writable permissions"},
    {R"(\bsudo\b)", "runs as root"},
    {R"(>\s*/dev/(sd|disk|nvme))", "writes to a block device"},
    {R"(\bdrop\s+(table|database)\b)", "drops a database table"},
    {R"(\btruncate\s+table\b)", "empties a database table"},
    {R"(\bkubectl\s+delete\b)", "deletes cluster resources"},
    {R"(\bterraform\s+(destroy|apply)\b)", "changes live infrastructure"},
    {R"(\baws\s+.*\b(delete|terminate)\b)", "deletes cloud resources"},
}};

constexpr std::array<Row, 11> kElevated = {{
    {R"(curl\b.*\|\s*(ba)?sh)", "pipes the internet straight into a shell"},
    {R"(wget\b.*\|\s*(ba)?sh)", "pipes the internet straight into a shell"},
    {R"(\b(npm|pnpm|yarn)\s+(i|install|add)\b)", "installs packages"},
    {R"(\bpip3?\s+install\b)", "installs packages"},
    {R"(\bbrew\s+install\b)", "installs packages"},
    {R"(\bgit\s+push\b)", "pushes to a remote"},
    {R"(\bssh\b)", "connects to another machine"},
    {R"(\bdocker\s+(run|exec)\b)", "runs a container"},
    {R"(\b(launchctl|systemctl)\b)", "changes system services"},
    {R"(\bdefaults\s+write\b)", "changes system settings"},
    {R"(\bcurl\b|\bwget\b)", "fetches from the network"},
}};

constexpr std::array<Row, 4> kReadOnly = {{
    {R"(^\s*(ls|pwd|cat|head|tail|grep|rg|find|which|echo|date|whoami|env)\b)", ""},
    {R"(^\s*git\s+(status|log|diff|show|branch|remote|stash list)\b)", ""},
    {R"(^\s*(node|python3?|swift)\s+--version\b)", ""},
    {R"(^\s*(npm|pnpm|yarn)\s+(ls|list|outdated)\b)", ""},
}};

constexpr std::array<std::string_view, 6> kReadWords = {"read",   "grep", "glob",
                                                        "search", "list", "fetch"};
constexpr std::array<std::string_view, 5> kShellWords = {"bash", "shell", "terminal", "exec",
                                                         "command"};
constexpr std::array<std::string_view, 3> kWriteWords = {"write", "edit", "create"};

RE2::Options tableOptions() {
    RE2::Options options;
    options.set_case_sensitive(false);
    options.set_log_errors(false);
    // Room for the DFA cache on long inputs, so a big heredoc stays on the fast path.
    options.set_max_mem(64 << 20);
    return options;
}

// One table, searched in a single pass with RE2::Set; the individual patterns
// are kept for the rare input on which the set's DFA runs out of memory.
class PatternTable {
  public:
    template <std::size_t N>
    explicit PatternTable(const std::array<Row, N>& rows) : set_(tableOptions(), RE2::UNANCHORED) {
        for (const Row& row : rows) {
            set_.Add(row.pattern, nullptr);
            single_.push_back(std::make_unique<RE2>(row.pattern, tableOptions()));
            reasons_.emplace_back(row.reason);
        }
        set_.Compile();
    }

    // Indices of the matching rows, ascending.
    [[nodiscard]] std::vector<int> matches(std::string_view text) const {
        std::vector<int> hits;
        RE2::Set::ErrorInfo error{};
        if (!set_.Match(re2::StringPiece(text.data(), text.size()), &hits, &error) &&
            error.kind != RE2::Set::kNoError) {
            hits.clear();
            for (std::size_t i = 0; i < single_.size(); ++i) {
                if (RE2::PartialMatch(re2::StringPiece(text.data(), text.size()), *single_[i])) {
                    hits.push_back(static_cast<int>(i));
                }
            }
        }
        std::sort(hits.begin(), hits.end());
        return hits;
    }

    [[nodiscard]] const std::string& reason(int index) const {
        return reasons_.at(static_cast<std::size_t>(index));
    }

  private:
    RE2::Set set_;
    std::vector<std::unique_ptr<RE2>> single_;
    std::vector<std::string> reasons_;
};

struct Patterns {
    PatternTable destructive{kDestructive};
    PatternTable elevated{kElevated};
    PatternTable readOnly{kReadOnly};
    // Byte-wise (Latin-1) and case-sensitive: every byte of a UTF-8 path counts.
    RE2 firstPath{R"(((?:~|/)[^\s"']+))", RE2::Latin1};
};

const Patterns& patterns() {
    static const Patterns instance;  // thread-safe initialisation, immutable after
    return instance;
}

bool containsAny(std::string_view text, const auto& words) {
    return std::any_of(words.begin(), words.end(), [&](std::string_view word) {
        return text.find(word) != std::string_view::npos;
    });
}

// "~" and "~/x" use our home; "~name/x" that user's home; an unknown user
// leaves the path as it is.
std::string expandTilde(const std::string& path) {
    if (path.empty() || path[0] != '~') {
        return path;
    }
    std::size_t slash = path.find('/');
    std::string user = path.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
    std::string rest = slash == std::string::npos ? "" : path.substr(slash);
    if (user.empty()) {
        return homeDirectory() + rest;
    }
    passwd entry{};
    passwd* found = nullptr;
    std::array<char, 4096> buffer{};
    if (getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || entry.pw_dir == nullptr) {
        return path;
    }
    return std::string(entry.pw_dir) + rest;
}

std::optional<std::string> firstPath(std::string_view detail) {
    re2::StringPiece match;
    if (!RE2::PartialMatch(re2::StringPiece(detail.data(), detail.size()), patterns().firstPath,
                           &match)) {
        return std::nullopt;
    }
    return std::string(match.data(), match.size());
}

RiskVerdict collect(Risk level, const PatternTable& table, const std::vector<int>& hits) {
    RiskVerdict verdict{level, {}};
    for (int index : hits) {
        verdict.reasons.push_back(table.reason(index));
    }
    // Byte order of UTF-8 is code-point order.
    std::sort(verdict.reasons.begin(), verdict.reasons.end());
    verdict.reasons.erase(std::unique(verdict.reasons.begin(), verdict.reasons.end()),
                          verdict.reasons.end());
    return verdict;
}

RiskVerdict gradeCommand(std::string_view command) {
    const Patterns& all = patterns();
    if (auto hits = all.destructive.matches(command); !hits.empty()) {
        return collect(Risk::critical, all.destructive, hits);
    }
    if (auto hits = all.elevated.matches(command); !hits.empty()) {
        return collect(Risk::elevated, all.elevated, hits);
    }
    if (!all.readOnly.matches(command).empty()) {
        return {Risk::trivial, {"read-only command"}};
    }
    return {Risk::normal, {"shell command"}};
}

RiskVerdict gradeFileWrite(std::string_view detail, const std::optional<std::string>& cwd) {
    if (cwd) {
        if (auto path = firstPath(detail)) {
            std::string expanded = expandTilde(*path);
            if (expanded.starts_with('/') && !expanded.starts_with(*cwd)) {
                return {Risk::elevated, {"writes OUTSIDE the project (" + expanded + ")"}};
            }
        }
    }
    return {Risk::normal, {"writes a file in the project"}};
}

}  // namespace

namespace RiskEngine {

RiskVerdict assess(std::string_view tool, std::string_view detail,
                   const std::optional<std::string>& cwd) {
    std::string lower = asciiLower(tool);
    if (containsAny(lower, kReadWords)) {
        return {Risk::trivial, {"read-only tool"}};
    }
    if (containsAny(lower, kShellWords)) {
        return gradeCommand(detail);
    }
    if (containsAny(lower, kWriteWords)) {
        return gradeFileWrite(detail, cwd);
    }
    return {Risk::normal, {std::string(tool)}};
}

std::string ruleKey(std::string_view tool, std::string_view detail) {
    std::string words;
    int taken = 0;
    std::size_t pos = 0;
    while (taken < 2 && pos < detail.size()) {
        std::size_t end = detail.find(' ', pos);
        if (end == std::string_view::npos) {
            end = detail.size();
        }
        if (end > pos) {
            if (taken++ > 0) {
                words += ' ';
            }
            words.append(detail.substr(pos, end - pos));
        }
        pos = end + 1;
    }
    if (words.empty()) {
        return std::string(tool);
    }
    return std::string(tool) + ": " + words;
}

}  // namespace RiskEngine

}  // namespace vorla
