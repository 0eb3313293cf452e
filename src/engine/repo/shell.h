// Runs an outside program (git) as a child process, without a shell, and
// captures its standard output.
//
// Safe from any thread; every call blocks its caller until the child ends or
// the time limit passes. Errors are never reported: a program that cannot be
// started gives an empty output.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vorla::Shell {

struct Outcome {
    std::string output;    // standard output, as far as it was written
    bool started = false;  // false when the program could not be started
    bool timedOut = false;
    int exitStatus = -1;  // -1 when ended by a signal or never started
};

// Starts `executable` with `arguments` (argv[1...]) in `cwd` (or ours), reads
// its standard output while it runs, and waits for it to end. Standard input
// is the null device; standard error is discarded. When `timeoutSeconds`
// passes first, the child gets SIGTERM, then SIGKILL a moment later, and the
// output it wrote so far is returned. A negative timeout means no limit.
[[nodiscard]] Outcome execute(const std::string& executable,
                              const std::vector<std::string>& arguments,
                              const std::optional<std::string>& cwd, double timeoutSeconds);

// The child's standard output as text; empty when it could not be started or
// the output is not valid UTF-8. The exit status is not looked at.
[[nodiscard]] std::string run(const std::string& executable,
                              const std::vector<std::string>& arguments,
                              const std::optional<std::string>& cwd, double timeoutSeconds);

}  // namespace vorla::Shell
