// Runs a real program for a test: arguments, environment changes, standard
// input, captured output and exit status. Standard input is fed and both
// outputs are drained while the child runs, so large payloads cannot dead-lock.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vorla::test {

struct ChildResult {
    int exitCode = -1;  // -1 when killed by a signal or timed out
    int signal = 0;     // the terminating signal, if any
    bool timedOut = false;
    std::string out;
    std::string err;
};

struct ChildOptions {
    std::vector<std::string> args;  // args[0] is the program path
    // Variables to set (value) or remove (nullopt) on top of our environment.
    std::map<std::string, std::optional<std::string>> env;
    std::string input;  // written to stdin, which is then closed
    std::chrono::milliseconds timeout{10000};
};

// Runs to completion (or kills after the timeout).
ChildResult runChild(const ChildOptions& options);

// A child left running: write to it, wait for it or kill it.
class RunningChild {
  public:
    explicit RunningChild(const ChildOptions& options);
    ~RunningChild();
    RunningChild(const RunningChild&) = delete;
    RunningChild& operator=(const RunningChild&) = delete;

    [[nodiscard]] int pid() const { return pid_; }
    void kill(int signal);
    // Reads the child's output until `text` shows on its standard error
    // (true), or until it closes its outputs or `timeout` passes. What was
    // read stays part of wait()'s result.
    bool waitForError(std::string_view text,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
    // Drains output until exit or timeout.
    ChildResult wait(std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

  private:
    // Reads both outputs until `enough` holds or both are closed (true), or
    // until `deadline` (false).
    bool pump(std::chrono::steady_clock::time_point deadline, const std::function<bool()>& enough);

    int pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    bool reaped_ = false;
    std::string out_;
    std::string err_;
    std::thread writer_;
};

}  // namespace vorla::test
