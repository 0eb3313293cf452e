// Who runs under whom, read from /proc: enough to tell whether a process
// asking to answer a gate was started by the agent that is waiting on it.
// A pid alone can be reused by the time we look again, so a process is known
// by its pid and the start time the kernel recorded for it.
//
// Plain functions over /proc; safe from any thread.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorla {

struct ProcessIdentity {
    pid_t pid = 0;
    std::uint64_t startTime = 0;  // clock ticks after boot (/proc/<pid>/stat field 22)

    friend bool operator==(const ProcessIdentity&, const ProcessIdentity&) = default;
};

// What /proc/<pid>/stat says about one process.
struct ProcessInfo {
    ProcessIdentity identity;
    pid_t parent = 0;
    std::string name;  // the kernel's short command name ("bash", "node")
};

// nullopt when the process is gone or /proc cannot be read.
[[nodiscard]] std::optional<ProcessInfo> processInfo(pid_t pid);

// The agent whose hook started the bridge `bridge`: its parent, or its
// grandparent when the parent is a shell (hook commands are often run
// through `sh -c`). nullopt when /proc cannot tell or that is pid 1.
[[nodiscard]] std::optional<ProcessIdentity> agentOfBridge(pid_t bridge);

// Whether `process` is `ancestor` or runs under it, walking the parent chain
// up to pid 1. Unknown (gone, unreadable) counts as true: the caller cannot
// be told apart from the agent then.
[[nodiscard]] bool runsUnder(pid_t process, const ProcessIdentity& ancestor);

// The session markers agents put in the environment of what they run
// (CLAUDECODE=1 and the like), as the NAME=value entries found in the
// environment of `pid`; empty when there are none or it cannot be read.
[[nodiscard]] std::vector<std::string> agentMarkers(pid_t pid);

// Whether the environment of `pid` holds one of `markers` (exact entries).
// A process the agent detached from its own tree usually still does.
[[nodiscard]] bool carriesAnyOf(pid_t pid, const std::vector<std::string>& markers);

}  // namespace vorla
