// What has changed in the git working tree of a project directory, asked of
// git as an outside program.
//
// load() blocks (up to four git runs of at most 5 seconds each): call it from
// a background thread. It never fails: a missing directory, a directory
// outside git, or git itself missing all give the not-a-repository result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorla {

struct DiffPeek {
    struct FileChange {
        std::string path;  // relative to the repository root; git's quoting undone
        std::int64_t added = 0;
        std::int64_t removed = 0;  // both 0 for a binary file

        friend bool operator==(const FileChange&, const FileChange&) = default;
    };

    bool isRepo = false;
    std::string branch;
    std::vector<FileChange> files;  // most changed first; equal sums keep git's order
    std::int64_t untracked = 0;

    [[nodiscard]] static DiffPeek load(const std::string& cwd);

    // The lines of `git diff --numstat`, sorted as above.
    [[nodiscard]] static std::vector<FileChange> parseNumstat(std::string_view output);

    friend bool operator==(const DiffPeek&, const DiffPeek&) = default;
};

// Undoes git's C-style quoting of a path ("a\tb" in double quotes, octal
// escapes for other bytes); an unquoted path is returned as it is.
[[nodiscard]] std::string unquoteGitPath(std::string_view path);

}  // namespace vorla
