#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace vorla::test {

namespace {

std::vector<std::string> buildEnvironment(const ChildOptions& options) {
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text(*entry);
        auto eq = text.find('=');
        if (eq != std::string::npos) {
            merged[text.substr(0, eq)] = text.substr(eq + 1);
        }
    }
    for (const auto& [name, value] : options.env) {
        if (value) {
            merged[name] = *value;
        } else {
            merged.erase(name);
        }
    }
    std::vector<std::string> result;
    for (const auto& [name, value] : merged) {
        result.push_back(name + "=" + value);
    }
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings) {
        result.push_back(s.data());
    }
    result.push_back(nullptr);
    return result;
}

void writeInput(int fd, const std::string& input) {
    std::size_t done = 0;
    while (done < input.size()) {
        ssize_t n = ::write(fd, input.data() + done, input.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

RunningChild::RunningChild(const ChildOptions& options) {
    // A child that exits before reading all its input must not kill the test.
    ::signal(SIGPIPE, SIG_IGN);
    std::array<int, 2> in{}, out{}, err{};
    if (::pipe2(in.data(), O_CLOEXEC) != 0 || ::pipe2(out.data(), O_CLOEXEC) != 0 ||
        ::pipe2(err.data(), O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    auto args = options.args;
    auto envStrings = buildEnvironment(options);
    auto argv = pointers(args);
    auto envp = pointers(envStrings);
    int rc = posix_spawn(&pid_, args.at(0).c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (rc != 0) {
        ::close(in[1]);
        ::close(out[0]);
        ::close(err[0]);
        throw std::runtime_error("posix_spawn failed: " + std::string(std::strerror(rc)));
    }
    outFd_ = out[0];
    errFd_ = err[0];
    // A thread feeds stdin so a child that writes while we write cannot
    // dead-lock on full pipes.
    writer_ = std::thread([inFd = in[1], input = options.input] {
        writeInput(inFd, input);
        ::close(inFd);
    });
}

RunningChild::~RunningChild() {
    if (writer_.joinable()) {
        writer_.join();
    }
    if (!reaped_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (outFd_ >= 0) {
        ::close(outFd_);
    }
    if (errFd_ >= 0) {
        ::close(errFd_);
    }
}

void RunningChild::kill(int signal) {
    ::kill(pid_, signal);
}

bool RunningChild::pump(std::chrono::steady_clock::time_point deadline,
                        const std::function<bool()>& enough) {
    std::array<char, 65536> buffer{};
    while (outFd_ >= 0 || errFd_ >= 0) {
        if (enough && enough()) {
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        // poll() passes over the negative descriptor of a closed output.
        std::array<pollfd, 2> fds{pollfd{outFd_, POLLIN, 0}, pollfd{errFd_, POLLIN, 0}};
        if (::poll(fds.data(), fds.size(), static_cast<int>(left.count())) < 0 && errno == EINTR) {
            continue;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            int& fd = i == 0 ? outFd_ : errFd_;
            if (fd < 0 || fds[i].revents == 0) {
                continue;
            }
            ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got <= 0) {
                ::close(fd);
                fd = -1;
                continue;
            }
            (i == 0 ? out_ : err_).append(buffer.data(), static_cast<size_t>(got));
        }
    }
    return !enough || enough();
}

bool RunningChild::waitForError(std::string_view text, std::chrono::milliseconds timeout) {
    return pump(std::chrono::steady_clock::now() + timeout,
                [&] { return err_.find(text) != std::string::npos; });
}

ChildResult RunningChild::wait(std::chrono::milliseconds timeout) {
    ChildResult result;
    if (!pump(std::chrono::steady_clock::now() + timeout, nullptr)) {
        result.timedOut = true;
        ::kill(pid_, SIGKILL);
    }
    result.out = std::move(out_);
    result.err = std::move(err_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    reaped_ = true;
    if (writer_.joinable()) {
        writer_.join();
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

ChildResult runChild(const ChildOptions& options) {
    RunningChild child(options);
    return child.wait(options.timeout);
}

}  // namespace vorla::test
