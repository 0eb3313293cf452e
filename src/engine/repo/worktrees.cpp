#include "engine/repo/worktrees.h"

#include <algorithm>
#include <set>

#include "core/text.h"
#include "engine/repo/diff_peek.h"
#include "engine/repo/shell.h"

namespace vorla {

namespace {

// nullopt unless git ran and exited 0.
std::optional<std::string> runGit(const std::vector<std::string>& arguments) {
    Shell::Outcome result = Shell::git(arguments, std::nullopt);
    if (!result.started || result.timedOut || result.exitStatus != 0) {
        return std::nullopt;
    }
    return std::move(result.output);
}

std::string_view lastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string withoutLastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return {};
    }
    return std::string(slash == 0 ? path.substr(0, 1) : path.substr(0, slash));
}

std::string removeAll(std::string text, std::string_view what) {
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) {
        text.erase(at, what.size());
    }
    return text;
}

// Whole path components only: a session in /src/app-2 is not working in the
// worktree /src/app, though the text begins the same way.
bool isInside(std::string_view cwd, std::string_view root) {
    while (root.size() > 1 && root.back() == '/') {
        root.remove_suffix(1);
    }
    if (!cwd.starts_with(root)) {
        return false;
    }
    return cwd.size() == root.size() || cwd[root.size()] == '/' || root == "/";
}

}  // namespace

std::vector<Worktree> WorktreeScanner::discover(const std::vector<WorktreeSession>& sessions) {
    std::set<std::string> commonDirs;
    for (const WorktreeSession& session : sessions) {
        // "~" and other non-absolute placeholders name no directory; git -C ""
        // would even mean our own.
        if (!session.cwd.starts_with('/')) {
            continue;
        }
        auto output =
            runGit({"-C", session.cwd, "rev-parse", "--path-format=absolute", "--git-common-dir"});
        if (output && !trimmed(*output).empty()) {
            commonDirs.insert(std::string(trimmed(*output)));
        }
    }
    std::vector<Worktree> all;
    for (const std::string& commonDir : commonDirs) {
        std::vector<Worktree> listed = list(commonDir);
        all.insert(all.end(), listed.begin(), listed.end());
    }
    for (Worktree& worktree : all) {
        for (const WorktreeSession& session : sessions) {
            if (isInside(session.cwd, worktree.path)) {
                worktree.activeAgent = std::string(displayName(session.source));
                worktree.lastSeen = session.lastSeen;
                break;
            }
        }
    }
    std::stable_sort(all.begin(), all.end(), [](const Worktree& a, const Worktree& b) {
        if (a.activeAgent.has_value() != b.activeAgent.has_value()) {
            return a.activeAgent.has_value();
        }
        return a.lastSeen.value_or(WallTime::min()) > b.lastSeen.value_or(WallTime::min());
    });
    return all;
}

std::vector<Worktree> WorktreeScanner::list(const std::string& commonDir) {
    std::string top = withoutLastComponent(commonDir);
    std::string repo(lastComponent(top));
    auto output = runGit({"-C", top, "worktree", "list", "--porcelain"});
    if (!output) {
        return {};
    }
    return parsePorcelain(*output, repo);
}

std::vector<Worktree> WorktreeScanner::parsePorcelain(std::string_view output,
                                                      const std::string& repo) {
    std::vector<Worktree> found;
    std::optional<std::string> pending;
    std::size_t at = 0;
    while (at < output.size()) {
        std::size_t end = output.find('\n', at);
        if (end == std::string_view::npos) {
            end = output.size();
        }
        std::string_view line = output.substr(at, end - at);
        at = end + 1;
        if (line.starts_with("worktree ")) {
            pending = std::string(line.substr(9));
        } else if (line.starts_with("branch ")) {
            std::string branch = removeAll(std::string(line.substr(7)), "refs/heads/");
            if (pending) {
                found.push_back(Worktree{*pending, branch, repo, std::nullopt, std::nullopt});
                pending.reset();
            }
        } else if (line.starts_with("detached")) {
            if (pending) {
                found.push_back(Worktree{*pending, "(detached)", repo, std::nullopt, std::nullopt});
                pending.reset();
            }
        }
    }
    return found;
}

}  // namespace vorla
