#include "support/bridge_batch.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "core/unique_fd.h"

extern char** environ;

namespace vorla::test {

BridgeBatch::BridgeBatch(std::string dir) : dir_(std::move(dir)) {}

BridgeBatch::~BridgeBatch() {
    for (std::size_t i = 0; i < pids_.size(); ++i) {
        if (!reaped_[i]) {
            ::kill(pids_[i], SIGKILL);
            ::waitpid(pids_[i], nullptr, 0);
        }
    }
}

bool BridgeBatch::start(const std::string& payload, const std::string& source) {
    const std::string base = dir_ + "/bridge-" + std::to_string(pids_.size());
    std::ofstream(base + ".in", std::ios::binary) << payload;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, (base + ".in").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (base + ".out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (base + ".err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string program = VORLA_BRIDGE_PATH;
    std::string flag = "--source";
    std::string name = source;
    char* argv[] = {program.data(), flag.data(), name.data(), nullptr};
    pid_t pid = -1;
    const int failed = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        return false;
    }
    pids_.push_back(pid);
    reaped_.push_back(false);
    return true;
}

std::vector<BridgeBatch::Outcome> BridgeBatch::waitAll(std::chrono::milliseconds deadline) {
    std::vector<Outcome> outcomes(pids_.size());
    const auto end = std::chrono::steady_clock::now() + deadline;
    std::size_t left = pids_.size();
    while (left > 0) {
        for (std::size_t i = 0; i < pids_.size(); ++i) {
            int status = 0;
            if (!reaped_[i] && ::waitpid(pids_[i], &status, WNOHANG) == pids_[i]) {
                reaped_[i] = true;
                --left;
                outcomes[i].exited = WIFEXITED(status);
                outcomes[i].exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
        }
        if (left == 0 || std::chrono::steady_clock::now() >= end) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (std::size_t i = 0; i < pids_.size(); ++i) {
        if (!reaped_[i]) {
            ::kill(pids_[i], SIGKILL);
            ::waitpid(pids_[i], nullptr, 0);
            reaped_[i] = true;
        }
        const std::string base = dir_ + "/bridge-" + std::to_string(i);
        outcomes[i].out = readFile(base + ".out").value_or("");
        outcomes[i].err = readFile(base + ".err").value_or("");
    }
    return outcomes;
}

}  // namespace vorla::test
