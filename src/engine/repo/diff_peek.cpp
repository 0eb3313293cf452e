#include "engine/repo/diff_peek.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>

#include "core/text.h"
#include "engine/repo/shell.h"

namespace vorla {

namespace {

// What git wrote, whatever its exit status: a repository without commits
// still names its branch.
std::string git(const std::string& cwd, const std::vector<std::string>& arguments) {
    return Shell::textOf(Shell::git(arguments, cwd));
}

// A decimal count, or 0 for anything else (git writes "-" for binary files).
std::int64_t countFrom(std::string_view text) {
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        return 0;
    }
    return value;
}

// Splits on tabs, dropping empty pieces, into at most `limit` pieces; the last
// one keeps the rest of the line, tabs included.
std::vector<std::string_view> splitTabs(std::string_view line, std::size_t limit) {
    std::vector<std::string_view> pieces;
    std::size_t at = 0;
    while (at < line.size()) {
        if (line[at] == '\t') {
            ++at;
            continue;
        }
        if (pieces.size() + 1 == limit) {
            pieces.push_back(line.substr(at));
            break;
        }
        std::size_t tab = line.find('\t', at);
        std::size_t end = tab == std::string_view::npos ? line.size() : tab;
        pieces.push_back(line.substr(at, end - at));
        at = end;
    }
    return pieces;
}

template <typename Visit>
void forEachLine(std::string_view text, Visit visit) {
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (end > at) {
            visit(text.substr(at, end - at));
        }
        at = end + 1;
    }
}

bool isOctalDigit(char c) {
    return c >= '0' && c <= '7';
}

}  // namespace

std::string unquoteGitPath(std::string_view path) {
    if (path.size() < 2 || path.front() != '"' || path.back() != '"') {
        return std::string(path);
    }
    std::string out;
    std::string_view inner = path.substr(1, path.size() - 2);
    for (std::size_t i = 0; i < inner.size(); ++i) {
        char c = inner[i];
        if (c != '\\' || i + 1 == inner.size()) {
            out += c;
            continue;
        }
        char next = inner[++i];
        switch (next) {
            case 'a':
                out += '\a';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'v':
                out += '\v';
                break;
            default:
                // Three octal digits, the first at most 3; anything else is
                // taken as it stands.
                if (next >= '0' && next <= '3' && i + 2 < inner.size() &&
                    isOctalDigit(inner[i + 1]) && isOctalDigit(inner[i + 2])) {
                    int value = 0;
                    for (int k = 0; k < 3; ++k) {
                        value = value * 8 + (inner[i + static_cast<std::size_t>(k)] - '0');
                    }
                    out += static_cast<char>(value);
                    i += 2;
                } else {
                    out += next;
                }
        }
    }
    return out;
}

std::vector<DiffPeek::FileChange> DiffPeek::parseNumstat(std::string_view output) {
    std::vector<FileChange> files;
    forEachLine(output, [&](std::string_view line) {
        std::vector<std::string_view> pieces = splitTabs(line, 3);
        if (pieces.size() != 3) {
            return;
        }
        files.push_back(
            FileChange{unquoteGitPath(pieces[2]), countFrom(pieces[0]), countFrom(pieces[1])});
    });
    std::stable_sort(files.begin(), files.end(), [](const FileChange& a, const FileChange& b) {
        return a.added + a.removed > b.added + b.removed;
    });
    return files;
}

DiffPeek DiffPeek::load(const std::string& cwd) {
    struct stat info {};
    if (cwd.empty() || stat(cwd.c_str(), &info) != 0) {
        return {};
    }
    if (trimmed(git(cwd, {"rev-parse", "--is-inside-work-tree"})) != "true") {
        return {};
    }
    DiffPeek peek;
    peek.isRepo = true;
    peek.branch = std::string(trimmed(git(cwd, {"rev-parse", "--abbrev-ref", "HEAD"})));
    peek.files =
        parseNumstat(git(cwd, {"diff", "HEAD", "--numstat", "--no-ext-diff", "--no-textconv"}));
    forEachLine(git(cwd, {"ls-files", "--others", "--exclude-standard"}),
                [&](std::string_view) { ++peek.untracked; });
    return peek;
}

}  // namespace vorla
