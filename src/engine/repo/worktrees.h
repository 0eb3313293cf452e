// The git worktrees of the repositories that live sessions work in, and which
// agent is active in each.
//
// WorktreeScanner lives on the main thread: scan() and worktrees() are called
// there, and the result is published there. The git runs themselves happen on
// a worker thread the scanner owns, each limited to 5 seconds, so a slow or
// hung repository never freezes the interface.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/lifetime.h"
#include "core/protocol.h"
#include "engine/support/clock.h"
#include "engine/support/main_queue.h"
#include "engine/support/observable.h"

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

class WorktreeScanner {
  public:
    explicit WorktreeScanner(MainQueue& mainQueue);
    // Waits for a scan in progress (at most the git time limit per run).
    ~WorktreeScanner();
    WorktreeScanner(const WorktreeScanner&) = delete;
    WorktreeScanner& operator=(const WorktreeScanner&) = delete;

    // Starts a scan of `sessions` in the background; when it is done, replaces
    // worktrees() on the main thread and notifies subscribers. A newer scan makes
    // the result of an older one be dropped.
    void scan(std::vector<WorktreeSession> sessions);

    [[nodiscard]] const std::vector<Worktree>& worktrees() const { return worktrees_; }
    [[nodiscard]] Subscription subscribe(std::function<void()> onChange) {
        return changes_.subscribe(std::move(onChange));
    }

    // The whole scan, synchronously, on the calling thread (any thread).
    [[nodiscard]] static std::vector<Worktree> discover(
        const std::vector<WorktreeSession>& sessions);

    // The worktrees of the repository whose common git directory is `commonDir`.
    [[nodiscard]] static std::vector<Worktree> list(const std::string& commonDir);

    // The output of `git worktree list --porcelain`, for the repository `repo`.
    [[nodiscard]] static std::vector<Worktree> parsePorcelain(std::string_view output,
                                                              const std::string& repo);

  private:
    MainQueue& mainQueue_;

    // Main thread only:
    std::vector<Worktree> worktrees_;
    ChangeNotifier changes_;
    std::uint64_t generation_ = 0;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Worker> workers_;
    // Lets a posted result notice that the scanner is gone.
    Lifetime<WorktreeScanner> lifetime_{this};
};

}  // namespace vorla
