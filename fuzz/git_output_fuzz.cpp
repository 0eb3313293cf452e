// libFuzzer target: what git prints, read back by the diff peek
// (`git diff --numstat`) and the worktree scan (`git worktree list
// --porcelain`). Paths and branch names in a repository can hold any byte.
#include "engine/repo/diff_peek.h"
#include "engine/repo/worktrees.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorla;
    const std::string_view output = fuzz::text(data, size);
    for (const auto& change : DiffPeek::parseNumstat(output)) {
        fuzz::check(change.added >= 0 && change.removed >= 0);
    }
    (void)WorktreeScanner::parsePorcelain(output, "/repo");
    return 0;
}
