// Every child process we start: outside programs (git) run without a shell
// with their standard output captured, and programs handed a job and left to
// run (xdg-open). A program named without a slash is looked up on the search
// path, the way the user's terminal would find it.
//
// Safe from any thread. execute() and run() block their caller until the
// child ends or the time limit passes and report no errors: a program that
// cannot be started gives an empty output.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/result.h"

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

// The output as text; empty when it is not valid UTF-8.
[[nodiscard]] std::string textOf(Outcome outcome);

// git, from the search path, limited to 5 seconds a run.
[[nodiscard]] Outcome git(const std::vector<std::string>& arguments,
                          const std::optional<std::string>& cwd);

// Starts `executable` with `arguments` and returns at once; the program runs
// on by itself (also after we exit), its standard streams on the null device,
// and is never our zombie. Fails only when the launch itself could not start;
// a program missing from the search path is not noticed.
[[nodiscard]] Result<> launch(const std::string& executable,
                              const std::vector<std::string>& arguments);

}  // namespace vorla::Shell
