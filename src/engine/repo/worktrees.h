// The git worktrees of the repositories that live sessions work in, and which
// agent is active in each. Safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/protocol.h"
#include "engine/support/clock.h"

namespace vorla {

struct Worktree {
    std::string path;                        // absolute
    std::string branch;                      // without "refs/heads/", or "(detached)"
    std::string repo;                        // folder name of the owning repository
    std::optional<std::string> activeAgent;  // display name of the first live session inside
    std::optional<WallTime> lastSeen;        // that session's last-seen time

    friend bool operator==(const Worktree&, const Worktree&) = default;
};

// What the scan needs of a live session.
struct WorktreeSession {
    std::string cwd;
    Source source = Source::claude;
    WallTime lastSeen;
};

// The scan runs git (at most 5 seconds a run) and blocks its caller: call it
// from a background thread.
namespace WorktreeScanner {

// The whole scan, synchronously, on the calling thread (any thread).
[[nodiscard]] std::vector<Worktree> discover(const std::vector<WorktreeSession>& sessions);

// The worktrees of the repository whose common git directory is `commonDir`.
[[nodiscard]] std::vector<Worktree> list(const std::string& commonDir);

// The output of `git worktree list --porcelain`, for the repository `repo`.
[[nodiscard]] std::vector<Worktree> parsePorcelain(std::string_view output,
                                                   const std::string& repo);

}  // namespace WorktreeScanner

}  // namespace vorla
