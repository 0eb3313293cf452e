#include "engine/policy/risk_engine.h"

#include <algorithm>

#include "engine/policy/command_risk.h"
#include "engine/policy/path_rules.h"
#include "engine/policy/shell_parse.h"
#include "engine/policy/tool_class.h"

namespace vorla::RiskEngine {

namespace {

std::string_view trimmed(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) {
        return {};
    }
    const std::size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(start, end - start + 1);
}

// The files a write tool's detail names: the headers of a patch, or else
// the detail's first line (a path may hold spaces; surrounding quotes go).
std::vector<std::string> writtenPaths(std::string_view detail) {
    std::vector<std::string> paths;
    constexpr std::string_view kHeaders[] = {
        "*** Add File: ", "*** Update File: ", "*** Delete File: ", "*** Move to: "};
    std::size_t start = 0;
    while (start < detail.size()) {
        std::size_t end = detail.find('\n', start);
        if (end == std::string_view::npos) {
            end = detail.size();
        }
        const std::string_view line = trimmed(detail.substr(start, end - start));
        for (std::string_view header : kHeaders) {
            if (line.starts_with(header)) {
                paths.emplace_back(trimmed(line.substr(header.size())));
            }
        }
        start = end + 1;
    }
    if (!paths.empty()) {
        return paths;
    }
    std::string_view first = trimmed(detail.substr(0, detail.find('\n')));
    if (first.size() >= 2 && (first.front() == '"' || first.front() == '\'') &&
        first.back() == first.front()) {
        first = first.substr(1, first.size() - 2);
    }
    if (!first.empty()) {
        paths.emplace_back(first);
    }
    return paths;
}

RiskVerdict sorted(Risk level, std::vector<std::string> reasons) {
    std::sort(reasons.begin(), reasons.end());
    reasons.erase(std::unique(reasons.begin(), reasons.end()), reasons.end());
    return {level, std::move(reasons)};
}

RiskVerdict gradeFileWrite(std::string_view detail, const std::optional<std::string>& cwd) {
    const std::vector<std::string> paths = writtenPaths(detail);
    std::vector<std::string> critical = PathRules::protectedReasons(detail);
    std::vector<std::string> elevated;
    const auto project = cwd ? PathRules::normalise(*cwd, std::nullopt) : std::nullopt;
    for (const std::string& path : paths) {
        const auto absolute = PathRules::normalise(path, cwd);
        if (absolute) {
            // Links and ".." can lead somewhere the text does not say.
            for (std::string& reason : PathRules::protectedReasons(*absolute)) {
                critical.push_back(std::move(reason));
            }
        }
        if (!project) {
            elevated.push_back("writes a file, project folder unknown (" + path + ")");
        } else if (!absolute || !PathRules::isInside(*absolute, *project)) {
            elevated.push_back("writes OUTSIDE the project (" + absolute.value_or(path) + ")");
        }
    }
    if (!critical.empty()) {
        return sorted(Risk::critical, std::move(critical));
    }
    if (!elevated.empty()) {
        return sorted(Risk::elevated, std::move(elevated));
    }
    return {Risk::normal, {"writes a file in the project"}};
}

RiskVerdict gradeRead(std::string_view detail, const std::optional<std::string>& cwd) {
    const std::string_view path = trimmed(detail);
    auto secret = PathRules::secretName(path);
    if (!secret) {
        if (const auto absolute = PathRules::normalise(path, cwd)) {
            secret = PathRules::secretName(*absolute);
        }
    }
    if (secret) {
        return {Risk::elevated, {"reads a secret (" + *secret + ")"}};
    }
    return {Risk::trivial, {"read-only tool"}};
}

bool isShellClass(ToolClass kind) {
    return kind == ToolClass::shell || kind == ToolClass::shellLike;
}

// The commands a line runs itself, not those inside its substitutions.
std::vector<const SimpleCommand*> topCommands(const ShellScript& script) {
    std::vector<const SimpleCommand*> commands;
    for (const SimpleCommand& command : script.commands) {
        if (!command.substituted) {
            commands.push_back(&command);
        }
    }
    return commands;
}

std::string shellQuoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

}  // namespace

std::string gradedText(const JSONValue& input) {
    const auto command = input["command"];
    if (!command || command->kind() != JSONValue::Kind::array) {
        return input.preview();
    }
    std::string line;
    for (const auto& word : command->json()) {
        if (!word.is_string()) {
            return input.preview();
        }
        line += (line.empty() ? "" : " ") + shellQuoted(word.get<std::string>());
    }
    return line;
}

RiskVerdict assess(std::string_view tool, std::string_view detail,
                   const std::optional<std::string>& cwd) {
    switch (classifyTool(tool)) {
        case ToolClass::read:
            return gradeRead(detail, cwd);
        case ToolClass::shell:
            return CommandRisk::grade(detail);
        case ToolClass::shellLike: {
            // Only the agents' own shell tools are known to run exactly this line.
            RiskVerdict verdict = CommandRisk::grade(detail);
            if (verdict.level == Risk::trivial) {
                return {Risk::normal, {"shell command"}};
            }
            return verdict;
        }
        case ToolClass::write:
        case ToolClass::writeLike:
            return gradeFileWrite(detail, cwd);
        case ToolClass::plan:
        case ToolClass::question:
        case ToolClass::readLike:
        case ToolClass::other:
            break;
    }
    if (auto reasons = PathRules::protectedReasons(detail); !reasons.empty()) {
        return sorted(Risk::critical, std::move(reasons));
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

bool allowRuleMayAnswer(std::string_view tool, std::string_view detail) {
    if (assess(tool, detail, std::nullopt).level == Risk::critical) {
        return false;
    }
    if (!isShellClass(classifyTool(tool))) {
        return true;
    }
    const ShellScript script = parseShell(detail);
    if (!script.complete || script.substitutes || script.compound || script.commands.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < script.commands.size(); ++i) {
        const SimpleCommand& command = script.commands[i];
        const bool harmless = std::all_of(
            command.redirects.begin(), command.redirects.end(), [](const ShellRedirect& r) {
                return CommandRisk::writesNothing(r) && !r.op.starts_with("<<") && r.op != "<";
            });
        // A rule keyed on "python3 -c" or "env python3", stored before such keys
        // stopped being learned, would otherwise allow any program.
        if (!harmless || (i > 0 && !CommandRisk::isReadOnly(command)) ||
            CommandRisk::runsWhateverFollows(command)) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> commandRuleKeys(std::string_view tool, std::string_view detail) {
    std::vector<std::string> keys;
    if (!isShellClass(classifyTool(tool))) {
        return keys;
    }
    for (const SimpleCommand& command : parseShell(detail).commands) {
        std::string line;
        for (const ShellWord& word : command.words) {
            line += (line.empty() ? "" : " ") + word.text;
        }
        keys.push_back(ruleKey(tool, line));
    }
    return keys;
}

std::optional<std::string> unlearnableReason(std::string_view tool, std::string_view detail) {
    if (!isShellClass(classifyTool(tool))) {
        return std::nullopt;
    }
    const ShellScript script = parseShell(detail);
    const auto commands = topCommands(script);
    if (commands.empty()) {
        return std::nullopt;
    }
    return CommandRisk::runsWhateverFollows(*commands.front());
}

}  // namespace vorla::RiskEngine
