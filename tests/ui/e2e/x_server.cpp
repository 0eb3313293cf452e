#include "x_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string_view>
#include <thread>

namespace vorla::test {

namespace {

using namespace std::chrono_literals;

// fork + exec with DISPLAY set; stdout and stderr to /dev/null. The child
// gets `keepFd` (if any) and nothing else of ours. Everything is prepared
// before fork(): the child only makes system calls.
int spawn(const std::vector<std::string>& args, const std::string& display, int keepFd = -1) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::string_view(*e).substr(0, 8) != "DISPLAY=") {
            env.emplace_back(*e);
        }
    }
    if (!display.empty()) {
        env.push_back("DISPLAY=" + display);
    }
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    for (const auto& entry : env) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid != 0) {
        return pid;
    }
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    for (int fd = 3; fd < 1024; ++fd) {
        if (fd != keepFd) {
            ::close(fd);
        }
    }
    ::execvpe(argv[0], argv.data(), envp.data());
    ::_exit(127);
}

void stop(int pid) {
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
}

// Reads the display number Xvfb writes once it accepts clients; waits long:
// a loaded machine can take seconds.
std::string readDisplay(int fd) {
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + 30s;
    char c = 0;
    while (std::chrono::steady_clock::now() < deadline && ::read(fd, &c, 1) == 1) {
        if (c == '\n') {
            return ":" + text;
        }
        text += c;
    }
    return {};
}

}  // namespace

XServer::XServer(int width, int height) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return;
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    xvfbPid_ = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                      "-noreset", "-nolisten", "tcp"},
                     "", fds[1]);
    ::close(fds[1]);
    display_ = readDisplay(fds[0]);
    ::close(fds[0]);
    if (display_.empty()) {
        return;
    }
    compositorPid_ = spawn({"xcompmgr"}, display_);
}

XServer::~XServer() {
    stop(compositorPid_);
    stop(xvfbPid_);
}

ChildResult XServer::run(std::vector<std::string> args) const {
    ChildOptions options;
    if (args[0].find('/') == std::string::npos) {
        args[0] = "/usr/bin/" + args[0];  // runChild does not search PATH
    }
    options.args = std::move(args);
    options.env["DISPLAY"] = display_;
    options.timeout = 30s;
    return runChild(options);
}

QImage XServer::screenshot() const {
    ChildResult shot = run({"import", "-window", "root", "png:-"});
    return QImage::fromData(QByteArray::fromStdString(shot.out), "PNG");
}

std::string XServer::windowIdOf(int pid) const {
    ChildResult found = run({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)});
    std::istringstream ids(found.out);
    std::string id;
    ids >> id;
    return id;
}

std::vector<std::string> XServer::stacking() const {
    // xwininfo lists the root's children from the top of the stack down, as
    // "0x1a00003 ..." lines; xdotool prints ids in decimal.
    ChildResult tree = run({"xwininfo", "-root", "-children"});
    std::istringstream lines(tree.out);
    std::vector<std::string> ids;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string word;
        if (words >> word && word.rfind("0x", 0) == 0) {
            ids.insert(ids.begin(), std::to_string(std::stoul(word, nullptr, 16)));
        }
    }
    return ids;
}

std::optional<XServer::Rect> XServer::windowOf(int pid) const {
    const std::string id = windowIdOf(pid);
    if (id.empty()) {
        return std::nullopt;
    }
    ChildResult shape = run({"xdotool", "getwindowgeometry", "--shell", id});
    Rect rect;
    std::istringstream lines(shape.out);
    std::string line;
    int seen = 0;
    while (std::getline(lines, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, eq);
        const int value = std::atoi(line.c_str() + eq + 1);
        int* field = key == "X"        ? &rect.x
                     : key == "Y"      ? &rect.y
                     : key == "WIDTH"  ? &rect.width
                     : key == "HEIGHT" ? &rect.height
                                       : nullptr;
        if (field != nullptr) {
            *field = value;
            ++seen;
        }
    }
    return seen == 4 ? std::optional(rect) : std::nullopt;
}

void XServer::moveTo(int x, int y) const {
    // A warp alone reports no raw motion; a mouse does, so end like one
    // (three pixels stay below the pointer's acceleration threshold).
    (void)run({"xdotool", "mousemove", "--sync", std::to_string(x - 3), std::to_string(y)});
    (void)run({"xdotool", "mousemove_relative", "--sync", "3", "0"});
}

void XServer::warpTo(int x, int y) const {
    (void)run({"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y)});
}

void XServer::click(int x, int y) const {
    (void)run(
        {"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"});
}

}  // namespace vorla::test
