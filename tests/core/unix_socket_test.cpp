#include "core/unix_socket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <thread>

#include "support/child_process.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

using UnixSocket::Error;

constexpr std::size_t kLimit = std::size_t{4} << 20;

// Two connected stream sockets, closed at the end of the test.
struct SocketPair {
    int fds[2] = {-1, -1};
    int& a = fds[0];
    int& b = fds[1];
    SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0); }
    ~SocketPair() {
        close(a);
        close(b);
    }
    static void close(int& fd) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    void send(std::string_view bytes) const {
        ASSERT_EQ(::write(a, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
};

Error::Kind kindOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const Error& error) {
        return error.kind();
    }
    ADD_FAILURE() << "no error thrown";
    return Error::Kind::closed;
}

unsigned modeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST(UnixSocketConnect, TryConnectReportsEveryFailureAsAbsentAndLeaksNothing) {
    test::TempHome home;
    int before = ::dup(0);
    ::close(before);
    EXPECT_EQ(UnixSocket::tryConnect(home.file("absent.sock")), std::nullopt);
    EXPECT_EQ(UnixSocket::tryConnect(std::string(104, 'a')), std::nullopt);
    int after = ::dup(0);
    ::close(after);
    EXPECT_EQ(after, before);  // no descriptor left open
    int listener = UnixSocket::listen(home.file("run/here.sock"), 4);
    auto fd = UnixSocket::tryConnect(home.file("run/here.sock"));
    ASSERT_TRUE(fd);
    ::close(*fd);
    ::close(listener);
}

TEST(UnixSocketListen, CreatesParentReplacesStaleFileAndRestrictsMode) {
    test::TempHome home;
    std::string path = home.file("deep/run/vorla.sock");
    int first = UnixSocket::listen(path, 4);
    ::close(first);  // leaves a stale socket file behind, as a crash would
    int fd = UnixSocket::listen(path, 4);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(modeOf(home.file("deep/run")), 0700u);
    int client = UnixSocket::connect(path);
    int served = ::accept(fd, nullptr, nullptr);
    UnixSocket::writeLine(client, "ping");
    EXPECT_EQ(UnixSocket::readLine(served, kLimit), "ping");
    ::close(client);
    ::close(served);
    ::close(fd);
}

// A folder that existed before (once: /tmp itself) is not ours to restrict.
TEST(UnixSocketListen, LeavesTheModeOfAnExistingParentAlone) {
    test::TempHome home;
    ASSERT_EQ(::chmod(home.path().c_str(), 01777), 0);
    int fd = UnixSocket::listen(home.file("here.sock"), 4);
    ::close(fd);
    EXPECT_EQ(modeOf(home.path()), 01777u);

    EXPECT_NO_THROW((void)UnixSocket::makeAddr(std::string(103, 'a')));
    int probe = ::dup(0);
    ::close(probe);
    EXPECT_EQ(kindOf([&] { (void)UnixSocket::listen(home.file(std::string(120, 'x')), 1); }),
              Error::Kind::pathTooLong);
    int next = ::dup(0);
    EXPECT_EQ(next, probe);  // the socket created before the check was closed
    ::close(next);
    EXPECT_EQ(modeOf(home.path()), 01777u);
}

TEST(UnixSocketReadLine, LineEndStreamEndAndEmptyLine) {
    struct Case {
        std::string_view sent;
        bool closeWriter;
        std::optional<std::string> line;
    };
    for (const Case& c : {Case{"abc\n", false, "abc"}, Case{"abc", true, "abc"},
                          Case{"", true, std::nullopt}, Case{"\n", false, ""}}) {
        SocketPair pair;
        pair.send(c.sent);
        if (c.closeWriter)
            SocketPair::close(pair.a);
        EXPECT_EQ(UnixSocket::readLine(pair.b, kLimit), c.line) << c.sent;
    }
}

TEST(UnixSocketReadLine, ReadsAMegabyteLineArrivingInPieces) {
    SocketPair pair;
    std::string big(1 << 20, 'x');
    std::thread writer([&] { UnixSocket::writeLine(pair.a, big); });
    auto line = UnixSocket::readLine(pair.b, kLimit);
    writer.join();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->size(), big.size());
}

// A peer cannot make us hold more than the limit: a line of exactly the limit
// is read, one byte more throws as soon as it arrives (the writer still
// writes, so the reader must stop by itself, not at end of stream).
TEST(UnixSocketReadLine, StopsAtTheLimit) {
    struct Case {
        std::string start;
        std::size_t sent;
        bool fits;
    };
    constexpr std::size_t kSmall = 40000;
    for (const Case& c :
         {Case{"", kSmall, true}, Case{"", kSmall + 1, false}, Case{"abc", kSmall - 3, true},
          Case{std::string(kSmall + 1, 'y'), 0, false}}) {
        SocketPair pair;
        std::thread writer([&] {
            try {
                UnixSocket::writeLine(pair.a, std::string(c.sent, 'x'));
                if (!c.fits) {
                    UnixSocket::writeLine(pair.a, std::string(kSmall, 'z'));
                }
            } catch (const Error&) {
                // the reader gave up and closed
            }
        });
        if (c.fits) {
            auto line = UnixSocket::readLine(pair.b, kSmall, c.start);
            ASSERT_TRUE(line);
            EXPECT_EQ(line->size(), kSmall);
        } else {
            EXPECT_EQ(kindOf([&] { (void)UnixSocket::readLine(pair.b, kSmall, c.start); }),
                      Error::Kind::lineTooLong);
        }
        SocketPair::close(pair.b);
        writer.join();
    }
}

// A socket another user could have put in our place counts as no app at all:
// its file or folder is theirs, it is a link, or the process listening
// behind a file that looks like ours runs as them.
TEST(UnixSocketTryConnectOwned, OnlyTheUsersOwnListenerInTheUsersOwnFolder) {
    constexpr uid_t kOther = 65534;
    test::TempHome home;
    const std::string run = home.file("run");
    const std::string path = run + "/app.sock";
    int ours = UnixSocket::listen(path, 4);
    auto connected = UnixSocket::tryConnectOwned(path);
    ASSERT_TRUE(connected);
    ::close(*connected);

    ASSERT_EQ(::chmod(run.c_str(), 0777), 0);  // others may swap the socket
    EXPECT_FALSE(UnixSocket::tryConnectOwned(path));
    ASSERT_EQ(::chmod(run.c_str(), 0700), 0);
    ASSERT_EQ(::chown(run.c_str(), kOther, kOther), 0);
    EXPECT_FALSE(UnixSocket::tryConnectOwned(path));
    ASSERT_EQ(::chown(run.c_str(), 0, 0), 0);
    ASSERT_EQ(::symlink(path.c_str(), (run + "/link.sock").c_str()), 0);
    EXPECT_FALSE(UnixSocket::tryConnectOwned(run + "/link.sock"));
    ::close(ours);

    // Another user's listener, its socket file then moved here and made ours:
    // only the kernel's word on the peer gives it away.
    test::TempHome theirs;
    ASSERT_EQ(::chmod(theirs.path().c_str(), 0777), 0);
    test::ChildOptions options;
    options.args = {"/usr/bin/setpriv",
                    "--reuid=65534",
                    "--regid=65534",
                    "--clear-groups",
                    "/usr/bin/python3",
                    "-c",
                    "import socket, sys, time\n"
                    "s = socket.socket(socket.AF_UNIX)\n"
                    "s.bind(sys.argv[1]); s.listen()\n"
                    "print('ready', file=sys.stderr, flush=True)\n"
                    "time.sleep(30)\n",
                    theirs.file("x.sock")};
    test::RunningChild listener(options);
    ASSERT_TRUE(listener.waitForError("ready"));
    ASSERT_EQ(::rename(theirs.file("x.sock").c_str(), path.c_str()), 0);
    ASSERT_EQ(::lchown(path.c_str(), 0, 0), 0);
    auto plain = UnixSocket::tryConnect(path);
    ASSERT_TRUE(plain);  // it does listen there
    ::close(*plain);
    EXPECT_FALSE(UnixSocket::tryConnectOwned(path));
    listener.kill(SIGKILL);
}

TEST(UnixSocketWriteLine, VanishedPeerThrowsClosedWithoutKillingTheProcess) {
    SocketPair pair;
    SocketPair::close(pair.b);
    EXPECT_EQ(kindOf([&] { UnixSocket::writeLine(pair.a, "hello"); }), Error::Kind::closed);
    SUCCEED() << "still running: no SIGPIPE";
}

}  // namespace
}  // namespace vorla
