// The instruction and settings files the agents read before they start: the
// global ones in the home directory and those of each project folder.
//
// scan() makes blocking file-system calls and shares no state: run it from a
// background thread. Unreadable files are left out, never reported.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/support/clock.h"

namespace vorla {

struct ContextFile {
    std::string name;   // last path component ("settings.json")
    std::string path;   // absolute path
    std::string scope;  // "Global", or the project folder's name
    std::int64_t bytes = 0;
    WallTime modified;

    // "1023 B", "1 KB", "9 KB".
    [[nodiscard]] std::string sizeDisplay() const;

    friend bool operator==(const ContextFile&, const ContextFile&) = default;
};

namespace ContextScanner {

// Global files, then each distinct project's files; sorted with files
// modified today (local calendar of `clock`) first, newest first within each
// group. A project that is the home folder lists its files a second time.
[[nodiscard]] std::vector<ContextFile> scan(const std::vector<std::string>& projects,
                                            const Clock& clock = SystemClock::shared());

}  // namespace ContextScanner

}  // namespace vorla
