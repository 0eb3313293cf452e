#include "engine/repo/shell.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <simdjson.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "core/unique_fd.h"

extern char** environ;

namespace vorla::Shell {

namespace {

using SteadyClock = std::chrono::steady_clock;

// After SIGTERM the child gets this long to go before SIGKILL.
constexpr auto kGracePeriod = std::chrono::milliseconds(500);
// How often a silent child is looked at.
constexpr int kPollMillis = 50;
constexpr double kShortRunSeconds = 5.0;

class FileActions {
  public:
    FileActions() { posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_{};
};

// Reads whatever the pipe holds now. False once the writer side is closed.
bool drainAvailable(int fd, std::string& out) {
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            out.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) {
            return false;
        }
        if (errno == EINTR) {
            continue;
        }
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

int statusFrom(int waitStatus) {
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
}

// Waits for `pid` to end within `limit`; true when it was reaped.
bool reapWithin(pid_t pid, std::chrono::milliseconds limit, int& waitStatus) {
    auto until = SteadyClock::now() + limit;
    for (;;) {
        pid_t got = waitpid(pid, &waitStatus, WNOHANG);
        if (got == pid || (got < 0 && errno != EINTR)) {
            return true;
        }
        if (SteadyClock::now() >= until) {
            return false;
        }
        usleep(10'000);
    }
}

}  // namespace

Outcome execute(const std::string& executable, const std::vector<std::string>& arguments,
                const std::optional<std::string>& cwd, double timeoutSeconds) {
    Outcome result;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return result;
    }
    const UniqueFd readEnd(pipeFds[0]);
    UniqueFd writeEnd(pipeFds[1]);
    FileActions actions;
    posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(actions.get(), writeEnd.get(), STDOUT_FILENO);
    // Never read, so it must not be a pipe: a chatty child would block on it.
    posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (cwd) {
        posix_spawn_file_actions_addchdir_np(actions.get(), cwd->c_str());
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    pid_t pid = -1;
    int spawned =
        posix_spawnp(&pid, executable.c_str(), actions.get(), nullptr, argv.data(), environ);
    writeEnd.reset();  // else the read end never sees the child's end of output
    if (spawned != 0) {
        return result;
    }
    result.started = true;
    const int readFd = readEnd.get();
    fcntl(readFd, F_SETFL, fcntl(readFd, F_GETFL) | O_NONBLOCK);

    // Read while the child runs, so output larger than the pipe never stalls it.
    const bool limited = timeoutSeconds >= 0;
    const auto deadline =
        SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                 std::chrono::duration<double>(limited ? timeoutSeconds : 0));
    int waitStatus = 0;
    bool reaped = false;
    bool open = true;
    while (open) {
        int wait = kPollMillis;
        if (limited) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                              SteadyClock::now());
            if (left.count() <= 0) {
                result.timedOut = true;
                break;
            }
            wait = static_cast<int>(std::min<long>(left.count() + 1, kPollMillis));
        }
        pollfd pfd{readFd, POLLIN, 0};
        int ready = poll(&pfd, 1, wait);
        if (ready > 0) {
            open = drainAvailable(readFd, result.output);
        } else if (ready < 0 && errno != EINTR) {
            break;
        }
        // A grandchild may keep the pipe open after the child has ended.
        if (open && waitpid(pid, &waitStatus, WNOHANG) == pid) {
            reaped = true;
            drainAvailable(readFd, result.output);
            break;
        }
    }
    if (!reaped && !result.timedOut) {
        // The output is closed; the child still gets the rest of its time.
        if (!limited) {
            while (waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
            }
            reaped = true;
        } else {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                              SteadyClock::now());
            reaped = reapWithin(pid, std::max(left, std::chrono::milliseconds(0)), waitStatus);
            result.timedOut = !reaped;
        }
    }
    if (!reaped) {
        kill(pid, SIGTERM);
        if (!reapWithin(pid, kGracePeriod, waitStatus)) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
            }
        }
        drainAvailable(readFd, result.output);
    }
    result.exitStatus = result.timedOut ? -1 : statusFrom(waitStatus);
    return result;
}

std::string run(const std::string& executable, const std::vector<std::string>& arguments,
                const std::optional<std::string>& cwd, double timeoutSeconds) {
    return textOf(execute(executable, arguments, cwd, timeoutSeconds));
}

std::string textOf(Outcome outcome) {
    if (!simdjson::validate_utf8(outcome.output.data(), outcome.output.size())) {
        return {};
    }
    return std::move(outcome.output);
}

Outcome git(const std::vector<std::string>& arguments, const std::optional<std::string>& cwd) {
    // The repositories we read are the agents' working trees, whose .git/config
    // an agent may write: a file-system monitor named there would run as us,
    // outside the agent's sandbox and gate.
    std::vector<std::string> all = {"-c", "core.fsmonitor=false"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return execute("git", all, cwd, kShortRunSeconds);
}

Result<> launch(const std::string& executable, const std::vector<std::string>& arguments) {
    // A shell that puts the program in the background and exits at once: we
    // reap the shell, and init adopts the program. The program and its
    // arguments stay positional parameters, never shell text.
    std::vector<std::string> shellArguments{"-c", "\"$@\" >/dev/null &", "sh", executable};
    shellArguments.insert(shellArguments.end(), arguments.begin(), arguments.end());
    Outcome shell = execute("/bin/sh", shellArguments, std::nullopt, kShortRunSeconds);
    if (!shell.started || shell.exitStatus != 0) {
        return fail("Could not start " + executable + ".");
    }
    return {};
}

}  // namespace vorla::Shell
