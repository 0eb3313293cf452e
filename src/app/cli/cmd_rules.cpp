// `vorla-agents rules [--json]` and `vorla-agents rules forget <key>`: the
// learned rules. Through the running app when there is one, so its rules in
// memory and the file never disagree; else straight from and to the file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/cli/cli_support.h"
#include "app/cli/commands.h"
#include "core/text.h"
#include "core/unique_fd.h"
#include "engine/policy/rule_store.h"
#include "engine/support/calendar.h"

namespace vorla::app {

namespace {

const char* kRulesHelp =
    "Usage: vorla-agents rules [--json]\n"
    "       vorla-agents rules forget <key>\n"
    "\n"
    "Lists the rules Vorla Agents learned ('always allow'), with how often each\n"
    "answered; 'forget' removes the rule with that key (as the list shows it).\n"
    "Goes through the running app when there is one, else edits the file\n"
    "~/.vorla-agents/data/rules.json directly.\n"
    "\n"
    "  --json     print the rules as JSON\n"
    "  -h, --help show this help\n";

// The rules file as the app would load it, or a message saying why not.
struct FileRules {
    std::vector<Rule> rules;
    std::string problem;
};

FileRules readRulesFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        return {};
    }
    auto text = readOwnFile(path);
    if (!text) {
        return {{}, "cannot read the rules file " + path + ": " + std::strerror(errno)};
    }
    auto rules = decodeRules(*text);
    if (!rules) {
        return {{},
                "the rules file " + path +
                    " is not a list of rules (fix it by hand; the app sets a damaged file aside "
                    "at its next save)"};
    }
    return {std::move(*rules), {}};
}

void printRules(const std::vector<Rule>& rules, bool json) {
    if (json) {
        printJson(nlohmann::json::parse(encodeRules(rules)));
        return;
    }
    if (rules.empty()) {
        std::printf("No learned rules yet. Allow an approval with --always to teach one.\n");
        return;
    }
    std::vector<Row> rows;
    rows.reserve(rules.size());
    for (const Rule& rule : rules) {
        rows.push_back({std::string(rawValue(rule.behavior)), std::to_string(rule.timesFired),
                        dayKey(rule.createdAt), rule.key});
    }
    std::fputs(formatTable({"ANSWER", "USED", "LEARNED", "KEY"}, rows).c_str(), stdout);
}

int list(bool json) {
    ControlRequest request;
    request.verb = ControlVerb::rules;
    auto answer = askApp(request);
    if (answer) {
        auto rules = decodeRules((*answer)["rules"].dump());
        printRules(rules.value_or(std::vector<Rule>{}), json);
        return 0;
    }
    if (answer.error().code != appNotRunning) {
        return reportFailure(answer.error());
    }
    FileRules file = readRulesFile(RuleStore::defaultPath());
    if (!file.problem.empty()) {
        std::fprintf(stderr, "vorla-agents: %s\n", file.problem.c_str());
        return kExitFailed;
    }
    printRules(file.rules, json);
    return 0;
}

int forgetInFile(const std::string& key) {
    const std::string path = RuleStore::defaultPath();
    FileRules file = readRulesFile(path);
    if (!file.problem.empty()) {
        std::fprintf(stderr, "vorla-agents: %s\n", file.problem.c_str());
        return kExitFailed;
    }
    auto rule = std::find_if(file.rules.begin(), file.rules.end(),
                             [&](const Rule& r) { return r.key == key; });
    if (rule == file.rules.end()) {
        std::fprintf(stderr, "vorla-agents: no learned rule '%s'\n", visibleText(key).c_str());
        return kExitFailed;
    }
    // The app's own store, so the write is the same atomic, synced one.
    RuleStore store(SystemClock::shared(), path);
    store.remove(*rule);
    FileRules after = readRulesFile(path);
    if (!after.problem.empty() || after.rules.size() != store.rules().size()) {
        std::fprintf(stderr, "vorla-agents: could not rewrite the rules file %s\n", path.c_str());
        return kExitFailed;
    }
    return 0;
}

int forget(const std::string& key) {
    ControlRequest request;
    request.verb = ControlVerb::forget;
    request.key = key;
    auto answer = askApp(request);
    if (!answer && answer.error().code != appNotRunning) {
        return reportFailure(answer.error());
    }
    // Without the app, its rules file is changed directly.
    if (int failed = answer ? 0 : forgetInFile(key); failed != 0) {
        return failed;
    }
    std::printf("Forgot the rule '%s'.\n", visibleText(key).c_str());
    return 0;
}

}  // namespace

int runRules(int argc, char** argv) {
    bool json = false;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (isHelp(arg)) {
            std::fputs(kRulesHelp, stdout);
            return 0;
        }
        if (arg == "--json") {
            json = true;
        } else if (arg.starts_with("--")) {
            return usageError("rules", "unknown option '" + std::string(arg) + "'");
        } else {
            words.emplace_back(arg);
        }
    }
    if (words.empty()) {
        return list(json);
    }
    if (words[0] != "forget") {
        return usageError("rules", "unknown subcommand '" + words[0] + "'");
    }
    if (words.size() != 2) {
        return usageError("rules", "forget takes one rule key, quoted (e.g. 'Bash: npm test')");
    }
    return forget(words[1]);
}

}  // namespace vorla::app
