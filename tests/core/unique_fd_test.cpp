#include "core/unique_fd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "support/temp_home.h"

namespace vorla {
namespace {

bool isOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

struct Pipe {
    UniqueFd read;
    UniqueFd write;
    Pipe() {
        std::signal(SIGPIPE, SIG_IGN);  // a closed reader: an error, not death
        int fds[2];
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        read.reset(fds[0]);
        write.reset(fds[1]);
        (void)::fcntl(fds[0], F_SETPIPE_SZ, 4096);  // many short transfers
    }
};

// Signals `target` over and over through a handler without SA_RESTART, so
// its blocking reads and writes keep returning EINTR or stopping short. The
// handler stays installed: a signal still in flight must not kill the test.
class SignalStorm {
  public:
    explicit SignalStorm(pthread_t target) : target_(target) {
        static const bool installed = [] {
            struct sigaction action {};
            action.sa_handler = [](int) {};
            sigemptyset(&action.sa_mask);
            return ::sigaction(SIGUSR1, &action, nullptr) == 0;
        }();
        EXPECT_TRUE(installed);
        thread_ = std::thread([this] {
            while (!stop_.load()) {
                ::pthread_kill(target_, SIGUSR1);
                std::this_thread::yield();
            }
        });
    }
    ~SignalStorm() {
        stop_.store(true);
        thread_.join();
    }
    SignalStorm(const SignalStorm&) = delete;
    SignalStorm& operator=(const SignalStorm&) = delete;

  private:
    pthread_t target_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::string pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + i % 23);
    }
    return text;
}

TEST(UniqueFd, ClosesOnceWhetherMovedResetOrReleased) {
    Pipe pipe;
    const int r = pipe.read.get();
    const int w = pipe.write.get();
    {
        UniqueFd moved(std::move(pipe.read));
        EXPECT_FALSE(pipe.read);
        UniqueFd target;
        target = std::move(moved);
        EXPECT_TRUE(isOpen(r));
    }
    EXPECT_FALSE(isOpen(r));
    const int kept = pipe.write.release();
    pipe.write.reset();
    EXPECT_TRUE(isOpen(kept));
    UniqueFd again(kept);
    EXPECT_TRUE(again.close());
    EXPECT_FALSE(isOpen(w));
    EXPECT_TRUE(again.close());  // nothing left to close is not a failure
}

TEST(UniqueFd, WriteAllAndReadAllSurviveShortAndInterruptedTransfers) {
    const std::string data = pattern(std::size_t{1} << 20);
    Pipe pipe;
    std::optional<std::string> received;
    // The pauses only make each side wait on a full or an empty pipe while
    // signals arrive; the outcome does not depend on them.
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        SignalStorm storm(::pthread_self());
        received = readAll(pipe.read.get());
        pipe.read.reset();  // a reader that gave up early fails the writer, not hangs it
    });
    {
        SignalStorm storm(::pthread_self());
        EXPECT_TRUE(writeAll(pipe.write.get(), data));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pipe.write.reset();
    reader.join();
    ASSERT_TRUE(received);
    EXPECT_TRUE(*received == data);  // not EXPECT_EQ: a diff of a megabyte
}

TEST(UniqueFd, FailuresAreReportedNotHidden) {
    Pipe pipe;
    pipe.read.reset();
    EXPECT_FALSE(writeAll(pipe.write.get(), "nobody reads this"));
    EXPECT_TRUE(writeAll(pipe.write.get(), ""));

    test::TempHome home;
    EXPECT_FALSE(readFile(home.file("missing")));
    EXPECT_FALSE(readFile(home.path()));  // a folder opens, but cannot be read
    home.write("empty", "");
    EXPECT_EQ(readFile(home.file("empty")), "");
    home.write("bytes", std::string("a\0b\n", 4));
    EXPECT_EQ(readFile(home.file("bytes")), std::string("a\0b\n", 4));
}

}  // namespace
}  // namespace vorla
