// Many real bridges at once, as a busy machine's agents would run them: each
// is its own process with its payload on standard input and its output in a
// file, so a thousand of them need no pipes or threads in the test.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace vorla::test {

class BridgeBatch {
  public:
    struct Outcome {
        bool exited = false;  // false: still running at the deadline (then killed)
        int exitCode = -1;
        std::string out;
        std::string err;
    };

    // Payloads and outputs live in `dir`, which must exist.
    explicit BridgeBatch(std::string dir);
    // Kills and reaps whatever still runs.
    ~BridgeBatch();
    BridgeBatch(const BridgeBatch&) = delete;
    BridgeBatch& operator=(const BridgeBatch&) = delete;

    // Starts `vorla-bridge --source <source>` reading `payload`; false when
    // the process could not be started.
    bool start(const std::string& payload, const std::string& source = "claude");
    [[nodiscard]] std::size_t size() const { return pids_.size(); }

    // Waits for every bridge until `deadline` has passed, then kills the rest.
    // Outcomes in start order.
    std::vector<Outcome> waitAll(std::chrono::milliseconds deadline);

  private:
    std::string dir_;
    std::vector<pid_t> pids_;
    std::vector<bool> reaped_;
};

}  // namespace vorla::test
