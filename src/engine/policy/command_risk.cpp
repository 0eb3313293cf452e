#include "engine/policy/command_risk.h"

#include <re2/re2.h>
#include <re2/set.h>

#include <algorithm>
#include <array>
#include <memory>
#include <span>
#include <vector>

#include "core/text.h"
#include "engine/policy/path_rules.h"

namespace vorla::CommandRisk {

namespace {

// sh -c 'sh -c "..."' nests; real commands stop long before this.
constexpr int kMaxDepth = 6;

struct Row {
    const char* pattern;
    const char* reason;
};

// Matched against one simple command at a time, written as its lower-case
// command name (no folder) and its unquoted arguments separated by spaces;
// git's global options are left out.
constexpr std::array<Row, 11> kDestructive = {{
    {R"(^git\s+push\s(.*\s)?(--force|-f)\b)", "force push — rewrites remote history"},
    {R"(^git\s+push\s(.*\s)?\+\S)", "force push — rewrites remote history"},
    {R"(^git\s+reset\s(.*\s)?--hard\b)", "discards all local changes"},
    {R"(^git\s+clean\b.*\s-[a-zA-Z]*f)", "deletes untracked files"},
    {R"(^(mkfs(\.[a-z0-9]+)?|dd)(\s|$))", "writes raw to a disk"},
    {R"(^chmod\s(.*\s)?0?777(\s|$))", "world-writable permissions"},
    {R"(^kubectl\s(.*\s)?delete(\s|$))", "deletes cluster resources"},
    {R"(^(terraform|tofu)\s(.*\s)?(destroy|apply)(\s|$))", "changes live infrastructure"},
    {R"(^aws\s.*\b(delete|terminate)\b)", "deletes cloud resources"},
    {R"(^find\s(.*\s)?-delete(\s|$))", "recursive/forced delete"},
    {R"(^(shred|wipefs)(\s|$))", "writes raw to a disk"},
}};

// Matched against the whole command text: SQL reaches its client in quoted
// arguments and here-documents alike, and a fork bomb is all syntax.
constexpr std::array<Row, 3> kDestructiveText = {{
    {R"(:\(\)\s*\{.*\};\s*:)", "fork bomb"},
    {R"(\bdrop\s+(table|database)\b)", "drops a database table"},
    {R"(\btruncate\s+table\b)", "empties a database table"},
}};

constexpr std::array<Row, 10> kElevated = {{
    {R"(^(npm|pnpm|yarn|bun)\s+(i|install|add|ci)(\s|$))", "installs packages"},
    {R"(^pip[0-9.]*\s+install(\s|$))", "installs packages"},
    {R"(^python[0-9.]*\s+-m\s+pip\s+install(\s|$))", "installs packages"},
    {R"(^brew\s+install(\s|$))", "installs packages"},
    {R"(^git\s+push(\s|$))", "pushes to a remote"},
    {R"(^(ssh|scp|sftp|mosh)(\s|$))", "connects to another machine"},
    {R"(^(docker|podman)\s+(.*\s)?(run|exec)(\s|$))", "runs a container"},
    {R"(^(launchctl|systemctl)(\s|$))", "changes system services"},
    {R"(^defaults\s+write(\s|$))", "changes system settings"},
    {R"(^(curl|wget)(\s|$))", "fetches from the network"},
}};

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

    void collect(std::string_view text, std::vector<std::string>& reasons) const {
        const re2::StringPiece piece(text.data(), text.size());
        std::vector<int> hits;
        RE2::Set::ErrorInfo error{};
        if (!set_.Match(piece, &hits, &error) && error.kind != RE2::Set::kNoError) {
            hits.clear();
            for (std::size_t i = 0; i < single_.size(); ++i) {
                if (RE2::PartialMatch(piece, *single_[i])) {
                    hits.push_back(static_cast<int>(i));
                }
            }
        }
        for (int hit : hits) {
            reasons.push_back(reasons_.at(static_cast<std::size_t>(hit)));
        }
    }

  private:
    RE2::Set set_;
    std::vector<std::unique_ptr<RE2>> single_;
    std::vector<std::string> reasons_;
};

struct Tables {
    PatternTable destructive{kDestructive};
    PatternTable destructiveText{kDestructiveText};
    PatternTable elevated{kElevated};
};

const Tables& tables() {
    static const Tables instance;  // thread-safe initialisation, immutable after
    return instance;
}

using Words = std::vector<ShellWord>;

// What grading found so far in one command line.
struct Findings {
    std::vector<std::string> critical;
    std::vector<std::string> elevated;
    std::vector<std::string> codeFromInput;  // "runs code from its input (sh)"
    bool readOnly = true;
    bool writes = false;
    bool fetches = false;
    bool complete = true;
};

void gradeScript(std::string_view text, Findings& found, int depth);
void gradeWords(const Words& words, Findings& found, int depth);

// --- names -----------------------------------------------------------------

std::string baseName(std::string_view word) {
    const std::size_t slash = word.rfind('/');
    return asciiLower(slash == std::string_view::npos ? word : word.substr(slash + 1));
}

// A bare name, or one of the system's own program folders: "./ls" may be anything.
bool systemCommand(std::string_view word) {
    const std::size_t slash = word.rfind('/');
    if (slash == std::string_view::npos) {
        return true;
    }
    const std::string_view folder = word.substr(0, slash);
    return folder == "/bin" || folder == "/usr/bin" || folder == "/usr/local/bin" ||
           folder == "/sbin" || folder == "/usr/sbin" || folder == "/opt/homebrew/bin";
}

bool isOneOf(std::string_view text, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), text) != names.end();
}

// A run of short options ("-la", "-rf"): one dash and at least one letter.
bool isShortCluster(std::string_view word) {
    return word.size() > 1 && word[0] == '-' && word[1] != '-';
}

// The option letters of a short cluster, up to the first character that is
// not a letter ("-pi.bak" gives "pi").
std::string_view clusterLetters(std::string_view word) {
    std::size_t end = 1;
    while (end < word.size() && std::isalpha(static_cast<unsigned char>(word[end])) != 0) {
        ++end;
    }
    return word.substr(1, end - 1);
}

bool isShell(std::string_view base) {
    return isOneOf(base, {"sh", "bash", "zsh", "dash", "ksh", "mksh", "ash", "fish"});
}

bool isPython(std::string_view base) {
    if (base == "pypy" || base == "pypy3") {
        return true;
    }
    if (!base.starts_with("python")) {
        return false;
    }
    return std::all_of(base.begin() + 6, base.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

// --- wrappers --------------------------------------------------------------

struct Wrapper {
    std::string_view name;
    std::initializer_list<std::string_view> valueOptions;  // options followed by a value
    int positionals;                                       // words before the command (timeout 5)
    bool root;
};

const std::array<Wrapper, 23>& wrappers() {
    static const std::array<Wrapper, 23> kWrappers = {{
        {"sudo",
         {"-u", "-g", "-h", "-p", "-C", "-D", "-r", "-t", "-U", "-T", "--user", "--group", "--host",
          "--prompt", "--chdir", "--role", "--type", "--other-user"},
         0,
         true},
        {"doas", {"-u", "-C"}, 0, true},
        {"pkexec", {"--user"}, 0, true},
        {"run0", {"-u", "--user", "-D", "--chdir"}, 0, true},
        {"env", {"-u", "--unset", "-C", "--chdir"}, 0, false},
        {"xargs",
         {"-I", "-L", "-n", "-P", "-d", "-E", "-s", "-a", "--max-args", "--max-procs",
          "--delimiter", "--arg-file", "--max-lines", "--replace", "--eof"},
         0,
         false},
        {"command", {}, 0, false},
        {"builtin", {}, 0, false},
        {"exec", {"-a"}, 0, false},
        {"nohup", {}, 0, false},
        {"time", {"-f", "-o", "--format", "--output"}, 0, false},
        {"nice", {"-n", "--adjustment"}, 0, false},
        {"timeout", {"-s", "-k", "--signal", "--kill-after"}, 1, false},
        {"stdbuf", {"-i", "-o", "-e", "--input", "--output", "--error"}, 0, false},
        {"ionice", {"-c", "-n", "-p", "-P", "-u", "--class", "--classdata"}, 0, false},
        {"setsid", {}, 0, false},
        {"chrt", {}, 1, false},
        {"taskset", {}, 1, false},
        {"watch", {"-n", "-d", "--interval"}, 0, false},
        {"flock", {"-w", "-E", "--timeout", "--conflict-exit-code"}, 1, false},
        {"unbuffer", {}, 0, false},
        {"strace", {"-o", "-e", "-p", "-s", "-u", "-E"}, 0, false},
        {"busybox", {}, 0, false},
    }};
    return kWrappers;
}

const Wrapper* wrapperFor(std::string_view base) {
    for (const Wrapper& wrapper : wrappers()) {
        if (wrapper.name == base) {
            return &wrapper;
        }
    }
    return nullptr;
}

// Index of the wrapped command's name in `words`, past the wrapper's options.
std::size_t wrappedStart(const Wrapper& wrapper, const Words& words, Findings& found, int depth) {
    std::size_t i = 1;
    while (i < words.size()) {
        const std::string& word = words[i].text;
        if (word == "--") {
            ++i;
            break;
        }
        if (wrapper.name == "env" && (word == "-S" || word.starts_with("--split-string"))) {
            // env -S 'cmd args': the string is split into a command of its own.
            const bool attached = word.find('=') != std::string::npos;
            std::string_view code = attached ? std::string_view(word).substr(word.find('=') + 1)
                                    : i + 1 < words.size() ? std::string_view(words[i + 1].text)
                                                           : std::string_view();
            gradeScript(code, found, depth + 1);
            return words.size();
        }
        if (word.size() > 1 && word[0] == '-') {
            const bool takesValue =
                std::find(wrapper.valueOptions.begin(), wrapper.valueOptions.end(), word) !=
                wrapper.valueOptions.end();
            i += takesValue ? 2 : 1;
            continue;
        }
        if (wrapper.name == "env" && word.find('=') != std::string::npos) {
            ++i;  // NAME=value
            continue;
        }
        break;
    }
    return std::min(words.size(), i + static_cast<std::size_t>(wrapper.positionals));
}

// --- interpreters ----------------------------------------------------------

// The option lists live in static arrays: a style is returned by value, and
// an initializer_list member would outlive the array behind it.
using Names = std::span<const std::string_view>;

constexpr std::array<std::string_view, 1> kShellLong = {"--command"};
constexpr std::array<std::string_view, 6> kShellValues = {"-o", "-O",       "+o",
                                                          "+O", "--rcfile", "--init-file"};
constexpr std::array<std::string_view, 3> kPythonValues = {"-W", "-X", "-Q"};
constexpr std::array<std::string_view, 2> kNodeLong = {"--eval", "--print"};
constexpr std::array<std::string_view, 3> kNodeValues = {"-r", "--require", "--import"};
constexpr std::array<std::string_view, 3> kPerlValues = {"-I", "-r", "-M"};

struct InlineStyle {
    std::string_view letters;  // short options that take the code
    Names longForms;           // long options that take the code
    Names valueOptions;
    bool readsInputWithoutScript;
};

std::optional<InlineStyle> inlineStyle(std::string_view base) {
    if (isShell(base)) {
        return InlineStyle{"c", kShellLong, kShellValues, true};
    }
    if (isPython(base)) {
        return InlineStyle{"c", {}, kPythonValues, true};
    }
    if (isOneOf(base, {"node", "nodejs"})) {
        return InlineStyle{"ep", kNodeLong, kNodeValues, true};
    }
    if (base == "bun") {
        return InlineStyle{"e", kNodeLong, {}, false};
    }
    if (isOneOf(base, {"perl", "ruby", "lua", "rscript", "osascript"})) {
        return InlineStyle{"eE", {}, kPerlValues, isOneOf(base, {"perl", "ruby"})};
    }
    if (base == "php") {
        return InlineStyle{"r", {}, {}, false};
    }
    return std::nullopt;
}

struct InlineUse {
    std::string flag;                 // "-c", "--eval"; empty when the code comes from input
    std::optional<std::string> code;  // the code, when it is on the command line
};

std::optional<std::string> firstOperand(const Words& words, std::size_t from) {
    for (std::size_t i = from; i < words.size(); ++i) {
        const std::string& word = words[i].text;
        if (word.empty() || (word[0] != '-' && word[0] != '+')) {
            return word;
        }
    }
    return std::nullopt;
}

bool listedIn(std::string_view word, Names names) {
    return std::find(names.begin(), names.end(), word) != names.end();
}

// How an interpreter call takes its code, unless it runs a script file.
std::optional<InlineUse> inlineUse(std::string_view base, const Words& words) {
    if (base == "deno") {
        if (words.size() > 1 && words[1].text == "eval") {
            return InlineUse{"eval", firstOperand(words, 2)};
        }
        return std::nullopt;
    }
    const auto style = inlineStyle(base);
    if (!style) {
        return std::nullopt;
    }
    bool informational = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i].text;
        if (word == "--" || word == "-") {
            break;
        }
        const std::size_t equals = word.find('=');
        const std::string_view option = std::string_view(word).substr(0, equals);
        if (listedIn(option, style->longForms)) {
            if (equals != std::string::npos) {
                return InlineUse{std::string(option), word.substr(equals + 1)};
            }
            return InlineUse{std::string(option), firstOperand(words, i + 1)};
        }
        if (listedIn(word, style->valueOptions)) {
            ++i;
            continue;
        }
        if (isOneOf(word, {"--version", "-V", "-v", "--help", "-h", "-VV"})) {
            informational = true;
            continue;
        }
        if (isShortCluster(word) || (word.size() > 1 && word[0] == '+')) {
            const std::string_view letters = clusterLetters(word);
            const std::size_t at = letters.find_first_of(style->letters);
            if (at == std::string_view::npos) {
                continue;
            }
            const std::string flag = "-" + std::string(1, letters[at]);
            // sh -c takes its code from the first operand; the others take
            // the rest of the cluster (-e'code') or the next word.
            if (isShell(base) || at + 2 >= word.size()) {
                return InlineUse{flag, firstOperand(words, i + 1)};
            }
            return InlineUse{flag, word.substr(at + 2)};
        }
        if (word.starts_with("--")) {
            continue;
        }
        return std::nullopt;  // a script file
    }
    if (style->readsInputWithoutScript && !informational) {
        return InlineUse{"", std::nullopt};
    }
    return std::nullopt;
}

// --- read-only commands ----------------------------------------------------

using Args = std::vector<std::string_view>;

bool anyArg(const Args& args, auto predicate) {
    return std::any_of(args.begin(), args.end(), predicate);
}

std::size_t operandCount(const Args& args) {
    return static_cast<std::size_t>(std::count_if(
        args.begin(), args.end(), [](std::string_view a) { return !a.starts_with('-'); }));
}

bool isSink(std::string_view path) {
    return isOneOf(
        path, {"/dev/null", "/dev/stdout", "/dev/stderr", "/dev/fd/1", "/dev/fd/2", "/dev/tty"});
}

bool findReadOnly(const Args& args) {
    return !anyArg(args, [](std::string_view a) {
        return a == "-delete" || a.starts_with("-exec") || a.starts_with("-ok") ||
               a.starts_with("-fprint") || a == "-fls";
    });
}

bool sedReadOnly(const Args& args) {
    std::vector<std::string_view> scripts;
    bool explicitScript = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (a.starts_with("--in-place") || a.starts_with("--file") || a == "-f" ||
            a.starts_with("--expression=")) {
            return false;
        }
        if (isShortCluster(a) && clusterLetters(a).find_first_of("if") != std::string_view::npos) {
            return false;
        }
        if (a == "-e" || a == "--expression") {
            explicitScript = true;
            if (i + 1 < args.size()) {
                scripts.push_back(args[++i]);
            }
        } else if (!a.starts_with('-') && !explicitScript && scripts.empty()) {
            scripts.push_back(a);
        }
    }
    // The e, w and W commands and flags run programs and write files; any of
    // those letters in a script makes it not read-only (a cautious reading).
    return !anyArg(scripts, [](std::string_view s) {
        return s.find_first_of("ewW") != std::string_view::npos;
    });
}

bool sortReadOnly(const Args& args) {
    return !anyArg(args, [](std::string_view a) {
        return a.starts_with("--output") || a.starts_with("--compress-program") ||
               (isShortCluster(a) && clusterLetters(a).find('o') != std::string_view::npos);
    });
}

bool teeReadOnly(const Args& args) {
    return !anyArg(args, [](std::string_view a) { return !a.starts_with('-') && !isSink(a); });
}

bool gitBranchReadOnly(const Args& rest) {
    bool listing = false;
    for (std::string_view a : rest) {
        if (isOneOf(a, {"-l", "--list"}) ||
            (a.starts_with("--") &&
             isOneOf(a.substr(0, a.find('=')),
                     {"--contains", "--no-contains", "--merged", "--no-merged", "--points-at"}))) {
            listing = true;
        }
    }
    return !anyArg(rest, [&](std::string_view a) {
        if (!a.starts_with('-')) {
            return !listing;
        }
        const std::string_view option = a.substr(0, a.find('='));
        return !isOneOf(option, {"-a",
                                 "-r",
                                 "-l",
                                 "-v",
                                 "-vv",
                                 "-q",
                                 "-i",
                                 "--all",
                                 "--remotes",
                                 "--list",
                                 "--verbose",
                                 "--quiet",
                                 "--show-current",
                                 "--color",
                                 "--no-color",
                                 "--column",
                                 "--no-column",
                                 "--ignore-case",
                                 "--sort",
                                 "--format",
                                 "--contains",
                                 "--no-contains",
                                 "--merged",
                                 "--no-merged",
                                 "--points-at",
                                 "--abbrev",
                                 "--no-abbrev"});
    });
}

bool gitSubcommandReadOnly(std::string_view sub, const Args& rest) {
    const auto has = [&](std::initializer_list<std::string_view> names) {
        return anyArg(rest,
                      [&](std::string_view a) { return isOneOf(a.substr(0, a.find('=')), names); });
    };
    if (isOneOf(sub,
                {"status", "rev-parse", "ls-files", "ls-tree", "cat-file", "describe", "rev-list",
                 "merge-base", "show-ref", "count-objects", "version", "check-ignore", "var"})) {
        return true;
    }
    if (isOneOf(sub, {"log", "show", "diff", "shortlog", "whatchanged", "blame", "annotate"})) {
        return !has({"--output", "--ext-diff", "--textconv"});
    }
    if (sub == "grep") {
        return !has({"-O", "--open-files-in-pager"}) &&
               !anyArg(rest, [](std::string_view a) { return a.starts_with("-O"); });
    }
    if (sub == "branch") {
        return gitBranchReadOnly(rest);
    }
    if (sub == "remote") {
        return (!rest.empty() && rest[0] == "get-url") || !anyArg(rest, [](std::string_view a) {
                   return !isOneOf(a, {"-v", "--verbose"});
               });
    }
    if (sub == "stash" || sub == "worktree") {
        return !rest.empty() && isOneOf(rest[0], {"list", "show"});
    }
    if (sub == "reflog") {
        return rest.empty() || rest[0] == "show";
    }
    if (sub == "tag") {
        return rest.empty() || (isOneOf(rest[0], {"-l", "--list"}) &&
                                !has({"-d", "--delete", "-f", "--force", "-a", "-s", "-m"}));
    }
    if (sub == "config") {
        return has({"--get", "--get-all", "--get-regexp", "--list", "-l"}) &&
               !has({"--add", "--unset", "--unset-all", "--replace-all", "--edit", "-e",
                     "--rename-section", "--remove-section"});
    }
    return false;
}

// Where git's own options end and the subcommand starts; nullopt when an
// option could make even a read run something (-c core.pager=...).
std::optional<std::size_t> gitSubcommand(const Args& args) {
    std::size_t i = 0;
    while (i < args.size() && args[i].starts_with('-')) {
        const std::string_view a = args[i];
        if (a == "-C") {
            i += 2;
        } else if (isOneOf(a, {"--no-pager", "-P", "--no-optional-locks", "--bare",
                               "--literal-pathspecs", "--no-replace-objects"}) ||
                   a.starts_with("--git-dir=") || a.starts_with("--work-tree=")) {
            ++i;
        } else {
            return std::nullopt;
        }
    }
    return i;
}

bool gitReadOnly(const Args& args) {
    const auto sub = gitSubcommand(args);
    if (!sub || *sub >= args.size()) {
        return false;
    }
    return gitSubcommandReadOnly(args[*sub],
                                 Args(args.begin() + static_cast<long>(*sub) + 1, args.end()));
}

bool versionOnly(const Args& args) {
    return args.size() == 1 && isOneOf(args[0], {"--version", "-v", "-V", "version"});
}

bool readOnlyProgram(std::string_view base, const Args& args) {
    if (isOneOf(
            base,
            {"ls",    "pwd",    "cat",  "head",   "tail",     "wc",        "cut",       "tr",
             "file",  "stat",   "du",   "df",     "basename", "dirname",   "realpath",  "readlink",
             "which", "whoami", "id",   "uname",  "true",     "false",     "grep",      "egrep",
             "fgrep", "diff",   "cmp",  "nl",     "echo",     "printf",    "cd",        "test",
             "[",     "type",   "jq",   "md5sum", "sha1sum",  "sha256sum", "sha512sum", "printenv",
             "tac",   "rev",    "comm", "paste",  "fold",     "column",    "pushd",     "popd",
             "dirs",  "ps"})) {
        return true;
    }
    if (base == "env") {
        return args.empty();
    }
    if (base == "date") {
        return !anyArg(args, [](std::string_view a) {
            return a == "-s" || a.starts_with("--set") ||
                   (isShortCluster(a) && clusterLetters(a).find('s') != std::string_view::npos);
        });
    }
    if (base == "hostname") {
        return args.empty();
    }
    if (base == "uniq") {
        return operandCount(args) <= 1;
    }
    if (base == "tree") {
        return !anyArg(args, [](std::string_view a) { return a.starts_with("-o"); });
    }
    if (base == "find") {
        return findReadOnly(args);
    }
    if (base == "rg") {
        return !anyArg(args,
                       [](std::string_view a) { return a == "--pre" || a.starts_with("--pre="); });
    }
    if (base == "sed") {
        return sedReadOnly(args);
    }
    if (base == "sort") {
        return sortReadOnly(args);
    }
    if (base == "tee") {
        return teeReadOnly(args);
    }
    if (base == "git") {
        return gitReadOnly(args);
    }
    if (isOneOf(base, {"node", "python", "python3", "swift", "ruby", "go", "cargo", "rustc", "java",
                       "deno", "bun", "gcc", "clang", "cmake", "make"})) {
        return versionOnly(args);
    }
    if (isOneOf(base, {"npm", "pnpm", "yarn"})) {
        return !args.empty() && isOneOf(args[0], {"ls", "list", "outdated"}) &&
               operandCount(args) >= 1;
    }
    return false;
}

// Assignments that only choose how a read looks. A pager is a program the
// read runs (`PAGER='rm -rf ~' git -p log`), so only the usual ones pass.
bool harmlessAssignment(const ShellWord& word) {
    const std::string_view text = word.text;
    const std::size_t equals = text.find('=');
    const std::string_view name = text.substr(0, equals);
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : text.substr(equals + 1);
    if (word.expands) {
        return false;
    }
    if (isOneOf(name, {"GIT_PAGER", "PAGER"})) {
        return isOneOf(value, {"", "cat", "less", "more"});
    }
    return isOneOf(name, {"LC_ALL", "LANG", "TERM", "NO_COLOR", "COLUMNS", "TZ"});
}

// Our own command line changes what gates the agent: its hooks, its rules,
// its answers, which instance listens. Only the reports are harmless.
bool changesVorlaAgents(std::string_view base, const Args& args) {
    if (!isOneOf(base, {"vorla-agents", "vorla-agents-app", "vorla-bridge"})) {
        return false;
    }
    if (base == "vorla-bridge" || args.empty()) {
        return true;
    }
    const std::string_view sub = args[0];
    if (isOneOf(sub, {"status", "audit", "usage", "scores", "suggest", "--version", "--help", "-h",
                      "help"})) {
        return false;
    }
    return !(isOneOf(sub, {"hooks", "rules"}) && (args.size() == 1 || args[1] == "--json"));
}

Args argsOf(const Words& words, std::size_t from = 1) {
    Args args;
    for (std::size_t i = from; i < words.size(); ++i) {
        args.emplace_back(words[i].text);
    }
    return args;
}

// The text the tables are matched against: "git push --force origin".
std::string tableLine(std::string_view base, const Args& args) {
    std::string line(base);
    std::size_t from = 0;
    if (base == "git") {
        from = gitSubcommand(args).value_or(0);
    }
    for (std::size_t i = from; i < args.size(); ++i) {
        line += ' ';
        line += args[i];
    }
    return line;
}

bool recursiveOrForcedDelete(const Args& args) {
    for (std::string_view a : args) {
        if (a == "--") {
            return false;
        }
        if (a == "--recursive" || a == "--force" ||
            (isShortCluster(a) && a.find_first_of("rRf") != std::string_view::npos)) {
            return true;
        }
    }
    return false;
}

// --- grading ---------------------------------------------------------------

std::string runTimeReason() {
    return "runs a command whose name is only known when it runs";
}

void gradeRedirect(const ShellRedirect& redirect, Findings& found) {
    const std::string& target = redirect.target.text;
    if (target.starts_with("/dev/tcp/") || target.starts_with("/dev/udp/")) {
        found.elevated.emplace_back("opens a network connection (" + target.substr(0, 8) + ")");
    }
    if (auto secret = PathRules::secretName(target)) {
        found.elevated.push_back("touches a secret (" + *secret + ")");
    }
    if (writesNothing(redirect)) {
        return;
    }
    if (redirect.target.expands || redirect.target.globs) {
        found.elevated.emplace_back("writes to a file named only when it runs");
    }
    static const RE2 kBlockDevice(R"(^/dev/(sd|disk|nvme|hd|vd|xvd|mmcblk))");
    if (RE2::PartialMatch(target, kBlockDevice)) {
        found.critical.emplace_back("writes to a block device");
    }
    found.writes = true;
}

// A wrapper: graded as itself, then the command it runs.
void gradeWrapped(const Wrapper& wrapper, const Words& words, Findings& found, int depth) {
    if (wrapper.root) {
        found.critical.emplace_back("runs as root");
    }
    const std::size_t start = wrappedStart(wrapper, words, found, depth);
    if (start >= words.size()) {
        return;
    }
    const Words inner(words.begin() + static_cast<long>(start), words.end());
    if (inner.size() == 1 && inner[0].text.find_first_of(" ;|&") != std::string::npos) {
        gradeScript(inner[0].text, found, depth + 1);  // watch 'a; b' runs it through sh -c
    } else {
        gradeWords(inner, found, depth + 1);
    }
}

void gradeInline(std::string_view base, const InlineUse& use, Findings& found, int depth) {
    if (use.flag.empty()) {
        found.codeFromInput.push_back("runs code from its input (" + std::string(base) + ")");
        return;
    }
    found.elevated.push_back("runs inline code (" + std::string(base) + " " + use.flag + ")");
    if (use.code && isShell(base)) {
        gradeScript(*use.code, found, depth + 1);
    }
}

void gradeFindActions(const Words& words, Findings& found, int depth) {
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i].text;
        if (!word.starts_with("-exec") && !word.starts_with("-ok")) {
            continue;
        }
        std::size_t end = i + 1;
        while (end < words.size() && words[end].text != ";" && words[end].text != "+") {
            ++end;
        }
        gradeWords(
            Words(words.begin() + static_cast<long>(i) + 1, words.begin() + static_cast<long>(end)),
            found, depth + 1);
        i = end;
    }
}

void gradeWords(const Words& words, Findings& found, int depth) {
    if (words.empty()) {
        return;
    }
    if (depth > kMaxDepth) {
        found.complete = false;
        return;
    }
    const ShellWord& name = words[0];
    if (name.expands || name.globs) {
        found.elevated.push_back(runTimeReason());
        return;
    }
    const std::string base = baseName(name.text);
    const Args args = argsOf(words);
    for (std::string_view arg : args) {
        if (auto secret = PathRules::secretName(arg)) {
            found.elevated.push_back("touches a secret (" + *secret + ")");
        }
    }
    if (base == "curl" || base == "wget") {
        found.fetches = true;
    }
    const Tables& all = tables();
    const std::string line = tableLine(base, args);
    all.destructive.collect(line, found.critical);
    all.elevated.collect(line, found.elevated);
    if (base == "rm" && recursiveOrForcedDelete(args)) {
        found.critical.emplace_back("recursive/forced delete");
    }
    if (changesVorlaAgents(base, args)) {
        found.critical.emplace_back("changes Vorla Agents itself (" + base +
                                    (args.empty() ? "" : " " + std::string(args[0])) + ")");
    }
    if (const Wrapper* wrapper = wrapperFor(base)) {
        gradeWrapped(*wrapper, words, found, depth);
    } else if (base == "su") {
        found.critical.emplace_back("runs as root");
        for (std::size_t i = 1; i + 1 < words.size(); ++i) {
            if (words[i].text == "-c" || words[i].text == "--command") {
                gradeScript(words[i + 1].text, found, depth + 1);
            }
        }
    } else if (auto use = inlineUse(base, words)) {
        gradeInline(base, *use, found, depth);
    } else if (base == "trap" && !args.empty()) {
        // The first operand is code the shell runs later (on exit, on a signal).
        found.elevated.emplace_back("sets code to run later (trap)");
        gradeScript(args[0], found, depth + 1);
    } else if (base == "eval") {
        std::string code;
        for (std::string_view arg : args) {
            code += std::string(arg) + " ";
        }
        found.elevated.emplace_back("runs text as a command (eval)");
        gradeScript(code, found, depth + 1);
    } else if ((base == "source" || base == ".") &&
               std::any_of(words.begin() + 1, words.end(),
                           [](const ShellWord& w) { return w.expands; })) {
        found.codeFromInput.push_back("runs code from a substitution (" + base + ")");
    } else if (isShell(base) || base == "find") {
        if (base == "find") {
            gradeFindActions(words, found, depth);
        } else if (words.size() > 1 && words[1].expands) {
            found.codeFromInput.push_back("runs code from a substitution (" + base + ")");
        }
    }
}

// Variables whose value a program runs as a shell command.
bool holdsCommand(std::string_view name) {
    return isOneOf(name, {"PAGER", "GIT_PAGER", "EDITOR", "VISUAL", "GIT_EDITOR",
                          "GIT_SEQUENCE_EDITOR", "GIT_SSH_COMMAND", "GIT_EXTERNAL_DIFF", "LESSOPEN",
                          "LESSCLOSE", "BASH_ENV", "ENV", "PROMPT_COMMAND"});
}

void gradeCommand(const SimpleCommand& command, Findings& found, int depth) {
    for (const ShellRedirect& redirect : command.redirects) {
        gradeRedirect(redirect, found);
    }
    for (const ShellWord& assignment : command.assignments) {
        const std::string_view text = assignment.text;
        const std::size_t equals = text.find('=');
        if (equals != std::string_view::npos && holdsCommand(text.substr(0, equals))) {
            gradeScript(text.substr(equals + 1), found, depth + 1);
        }
    }
    gradeWords(command.words, found, depth);
    if (!isReadOnly(command)) {
        found.readOnly = false;
    }
}

// Every word, assignment and redirection target, one per line, for the
// protected-place search.
std::string allWords(const ShellScript& script) {
    std::string text;
    for (const SimpleCommand& command : script.commands) {
        for (const ShellWord& word : command.assignments) {
            text += word.text + '\n';
        }
        for (const ShellWord& word : command.words) {
            text += word.text + '\n';
        }
        for (const ShellRedirect& redirect : command.redirects) {
            text += redirect.target.text + '\n';
        }
    }
    return text;
}

void gradeScript(std::string_view text, Findings& found, int depth) {
    if (depth > kMaxDepth) {
        found.complete = false;
        return;
    }
    const ShellScript script = parseShell(text);
    if (!script.complete) {
        found.complete = false;
    }
    if (script.substitutes) {
        found.readOnly = false;
    }
    for (const SimpleCommand& command : script.commands) {
        gradeCommand(command, found, depth);
    }
    for (std::string& reason : PathRules::protectedReasons(allWords(script))) {
        found.critical.push_back(std::move(reason));
    }
}

RiskVerdict sortedVerdict(Risk level, std::vector<std::string> reasons) {
    // Byte order of UTF-8 is code-point order.
    std::sort(reasons.begin(), reasons.end());
    reasons.erase(std::unique(reasons.begin(), reasons.end()), reasons.end());
    return {level, std::move(reasons)};
}

}  // namespace

RiskVerdict grade(std::string_view command) {
    Findings found;
    gradeScript(command, found, 0);
    tables().destructiveText.collect(command, found.critical);
    if (!found.codeFromInput.empty()) {
        if (found.fetches) {
            found.elevated.emplace_back("pipes the internet straight into a shell");
        } else {
            found.elevated.insert(found.elevated.end(), found.codeFromInput.begin(),
                                  found.codeFromInput.end());
        }
    }
    if (!found.complete) {
        found.elevated.emplace_back("could not read the whole command");
    }
    if (!found.critical.empty()) {
        return sortedVerdict(Risk::critical, std::move(found.critical));
    }
    if (!found.elevated.empty()) {
        return sortedVerdict(Risk::elevated, std::move(found.elevated));
    }
    const bool hasCommand = command.find_first_not_of(" \t\r\n") != std::string_view::npos;
    if (hasCommand && found.readOnly && !found.writes) {
        return {Risk::trivial, {"read-only command"}};
    }
    return {Risk::normal, {"shell command"}};
}

bool isReadOnly(const SimpleCommand& command) {
    if (command.words.empty() || command.words[0].expands || command.words[0].globs ||
        !systemCommand(command.words[0].text)) {
        return false;
    }
    if (!std::all_of(command.assignments.begin(), command.assignments.end(), harmlessAssignment)) {
        return false;
    }
    const Args args = argsOf(command.words);
    if (anyArg(args, [](std::string_view a) { return PathRules::secretName(a).has_value(); })) {
        return false;
    }
    return readOnlyProgram(baseName(command.words[0].text), args);
}

bool writesNothing(const ShellRedirect& redirect) {
    const std::string_view op = redirect.op;
    const std::string& target = redirect.target.text;
    if (isOneOf(op, {"<", "<<", "<<-", "<<<"})) {
        return true;
    }
    if (isOneOf(op, {">&", "<&"}) && !redirect.target.expands && !target.empty() &&
        std::all_of(target.begin(), target.end(),
                    [](char c) { return (c >= '0' && c <= '9') || c == '-'; })) {
        return true;  // 2>&1, >&-
    }
    return op != "<>" && op != "<&" && !redirect.target.expands && isSink(target);
}

std::optional<std::string> runsWhateverFollows(const SimpleCommand& command) {
    if (command.words.empty()) {
        return std::nullopt;
    }
    const std::string base = baseName(command.words[0].text);
    if (auto use = inlineUse(base, command.words)) {
        return use->flag.empty() ? base + " runs whatever code it is given"
                                 : base + " " + use->flag + " runs whatever code follows it";
    }
    if (isOneOf(base, {"npx", "pnpx", "bunx", "uvx", "eval", "source", ".", "su", "trap"}) ||
        wrapperFor(base) != nullptr) {
        return base + " runs whatever follows it";
    }
    const Args args = argsOf(command.words);
    if (!args.empty() &&
        ((isOneOf(base, {"npm", "pnpm", "yarn"}) && isOneOf(args[0], {"exec", "x", "dlx"})) ||
         (base == "pipx" && args[0] == "run"))) {
        return base + " " + std::string(args[0]) + " runs whatever package follows it";
    }
    return std::nullopt;
}

}  // namespace vorla::CommandRisk
