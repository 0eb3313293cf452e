// Who gets in, as real processes against the real headless app: a data
// folder someone else prepared, peers of another user and endless lines on
// both sockets, a client that holds the command socket, and an agent that
// tries to answer its own approval.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <nlohmann/json.hpp>
#include <thread>

#include "core/protocol.h"
#include "core/unix_socket.h"
#include "e2e_support.h"
#include "support/temp_home.h"

namespace vorla::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

// Tests run as root: "another user" is a real other uid.
constexpr uid_t kOtherUser = 65534;

mode_t modeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// Sends one line to `socket` as uid 65534 and prints what came back:
// "closed" when the app closed the connection without a word (at once, or
// after the line).
ChildResult sendAsOtherUser(const std::string& socket, const std::string& line) {
    ChildOptions options;
    options.args = {"/usr/bin/setpriv",
                    "--reuid=65534",
                    "--regid=65534",
                    "--clear-groups",
                    "/usr/bin/python3",
                    "-c",
                    "import socket, sys\n"
                    "s = socket.socket(socket.AF_UNIX)\n"
                    "s.settimeout(20)\n"
                    "s.connect(sys.argv[1])\n"
                    "try:\n"
                    "    s.sendall(sys.argv[2].encode() + b'\\n')\n"
                    "    reply = s.recv(65536)\n"
                    "except (BrokenPipeError, ConnectionResetError):\n"
                    "    reply = b''\n"
                    "print('closed' if reply == b'' else 'reply:' + repr(reply))\n",
                    socket,
                    line};
    options.timeout = 30s;
    return runChild(options);
}

// Writes one line without end until the app closes the connection; the
// bytes it took before that, or nullopt when it never did.
std::optional<std::size_t> endlessLine(const std::string& socket, std::size_t most) {
    UniqueFd fd(UnixSocket::connect(socket));
    const std::string chunk(std::size_t{1} << 20, 'x');
    std::size_t sent = 0;
    while (sent < most) {
        const ssize_t n = ::send(fd.get(), chunk.data(), chunk.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return (errno == EPIPE || errno == ECONNRESET) ? std::optional(sent) : std::nullopt;
        }
        sent += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}

class WhoMayAnswerTest : public ::testing::Test {
  protected:
    std::string socket() const { return home.file(".vorla-agents/run/vorla.sock"); }
    std::string control() const { return home.file(".vorla-agents/run/control.sock"); }

    static ChildResult cli(std::vector<std::string> args,
                           std::map<std::string, std::optional<std::string>> env = {}) {
        ChildOptions options;
        options.args = {VORLA_APP_PATH};
        options.args.insert(options.args.end(), args.begin(), args.end());
        options.env = std::move(env);
        options.timeout = 30s;
        return runChild(options);
    }

    std::string onePendingID() const {
        std::string id;
        EXPECT_TRUE(eventually([&] {
            auto state = publishedState(home);
            if (!state.is_object() || state["pending"].size() != 1) {
                return false;
            }
            id = state["pending"][0]["id"];
            return true;
        }));
        return id;
    }

    TempHome home;
};

TEST_F(WhoMayAnswerTest, ADataFolderOfAnotherUserIsRefusedALooseOneOfOursTightened) {
    const std::string root = home.file(".vorla-agents");
    home.write(".vorla-agents/data/rules.json", R"([{"key":"Bash: rm -rf","behavior":"allow"}])");
    ASSERT_EQ(::chmod(root.c_str(), 0777), 0);
    ASSERT_EQ(::chown(root.c_str(), kOtherUser, kOtherUser), 0);
    ChildOptions options;
    options.args = {VORLA_APP_PATH, "--headless"};
    auto refused = runChild(options);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "Vorla Agents: " + root +
                               " belongs to another user (uid 65534), so nothing in it can be "
                               "trusted. Move it out of the way (mv " +
                               root + " " + root + ".untrusted) and start again.\n");
    EXPECT_FALSE(std::filesystem::exists(socket()));
    options.args = {VORLA_APP_PATH, "rules"};  // a command that reads the folder too
    auto rules = runChild(options);
    EXPECT_EQ(rules.exitCode, 1);
    EXPECT_EQ(rules.err, refused.err);

    ASSERT_EQ(::chown(root.c_str(), 0, 0), 0);
    auto app = startApp(home);
    EXPECT_EQ(modeOf(root), 0700u);
    app->kill(SIGTERM);
    EXPECT_NE(app->wait(10s).err.find(root + " was writable by others; made it private"),
              std::string::npos);
}

// Another user's process that reaches the sockets (the folders opened up
// after the app started) is cut off without a word; so is a line that never
// ends, long before it could fill the app's memory. The app goes on serving.
TEST_F(WhoMayAnswerTest, ForeignPeersAndEndlessLinesAreCutOff) {
    auto app = startApp(home);
    for (const char* folder : {"", "/.vorla-agents", "/.vorla-agents/run"}) {
        ASSERT_EQ(::chmod((home.path() + folder).c_str(), 0711), 0);
    }
    ASSERT_EQ(::chmod(socket().c_str(), 0666), 0);
    ASSERT_EQ(::chmod(control().c_str(), 0666), 0);

    auto event = sendAsOtherUser(socket(), gatingEventLine("F0000001-0000-0000-0000-000000000000",
                                                           "s1", "rm -rf ~/project"));
    EXPECT_EQ(event.out, "closed\n") << event.err;
    auto request = sendAsOtherUser(control(), R"({"request":"status"})");
    EXPECT_EQ(request.out, "closed\n") << request.err;
    EXPECT_TRUE(app->waitForError("refused a connection on " + socket() + " from uid 65534"));

    auto eventBytes = endlessLine(socket(), kMaxEventLineBytes + (std::size_t{64} << 20));
    ASSERT_TRUE(eventBytes) << "the app kept reading a line past its limit";
    EXPECT_LE(*eventBytes, kMaxEventLineBytes + (std::size_t{16} << 20));
    auto requestBytes = endlessLine(control(), std::size_t{64} << 20);
    ASSERT_TRUE(requestBytes) << "the app kept reading a request past its limit";

    auto status = cli({"status", "--json"});
    EXPECT_EQ(status.exitCode, 0) << status.err;
    EXPECT_EQ(json::parse(status.out)["pending"].size(), 0u);
}

// A client that trickles a request that never ends holds only its own
// thread: `allow` from another terminal is answered meanwhile.
TEST_F(WhoMayAnswerTest, ASlowClientDoesNotHoldUpAllow) {
    auto app = startApp(home);
    RunningChild bridge(bridgeOptions(
        toolPayload("PermissionRequest", "s1", "Bash", {{"command", "make deploy"}})));
    const std::string id = onePendingID();

    std::atomic<bool> done{false};
    std::thread slow([&] {
        UniqueFd fd(UnixSocket::connect(control()));
        while (!done.load() && ::send(fd.get(), "{", 1, MSG_NOSIGNAL) == 1) {
            std::this_thread::sleep_for(100ms);
        }
    });
    std::this_thread::sleep_for(200ms);  // the slow client is being served
    auto allowed = cli({"allow", id});
    done.store(true);
    slow.join();
    EXPECT_EQ(allowed.exitCode, 0) << allowed.err;
    EXPECT_EQ(claudeDecision(bridge.wait(10s))["behavior"], "allow");
}

// A stand-in agent runs its hook through `sh -c` (as Claude Code does) and
// then, from a tool call of its own, tries `vorla-agents allow` on the
// approval it waits for: refused; so is a call it detached from its tree
// (setsid -f), by the session marker it still carries. The user's terminal
// (this test, outside the agent's tree) answers it; the audit says so.
TEST_F(WhoMayAnswerTest, AnAgentCannotAnswerItsOwnApproval) {
    auto app = startApp(home);
    const std::string agentScript =
        "import json, subprocess, sys, time\n"
        "bridge, app, state, payload = sys.argv[1:5]\n"
        "hook = subprocess.Popen(['/bin/sh', '-c', '\"$0\" --source claude; exit $?', bridge],\n"
        "                        stdin=subprocess.PIPE, stdout=subprocess.PIPE)\n"
        "hook.stdin.write(payload.encode()); hook.stdin.close()\n"
        "gate = 'none'\n"
        "for _ in range(800):\n"
        "    try:\n"
        "        pending = json.load(open(state))['pending']\n"
        "        if pending:\n"
        "            gate = pending[0]['id']; break\n"
        "    except Exception:\n"
        "        pass\n"
        "    time.sleep(0.025)\n"
        "tool = subprocess.run(['/bin/sh', '-c', '\"$0\" allow \"$1\"', app, gate],\n"
        "                      capture_output=True, text=True)\n"
        "print('AGENT_ALLOW %d %s' % (tool.returncode, tool.stderr.strip()), file=sys.stderr,\n"
        "      flush=True)\n"
        "subprocess.run(['/usr/bin/setsid', '-f', '/bin/sh', '-c',\n"
        "                '\"$0\" allow \"$1\" 2>\"$2.tmp\"; echo \"rc=$?\" >>\"$2.tmp\"; mv "
        "\"$2.tmp\" \"$2\"',\n"
        "                app, gate, state + '.detached'])\n"
        "for _ in range(800):\n"
        "    try:\n"
        "        detached = open(state + '.detached').read(); break\n"
        "    except OSError:\n"
        "        time.sleep(0.025)\n"
        "print('AGENT_DETACHED ' + detached.replace('\\n', ' '), file=sys.stderr, flush=True)\n"
        "print(hook.stdout.read().decode(), flush=True)\n";
    ChildOptions options;
    options.args = {"/usr/bin/python3",
                    "-c",
                    agentScript,
                    VORLA_BRIDGE_PATH,
                    VORLA_APP_PATH,
                    home.file(".vorla-agents/run/state.json"),
                    toolPayload("PermissionRequest", "s1", "Bash",
                                {{"command", "git push --force origin main"}})
                        .dump()};
    options.timeout = 60s;
    options.env["CLAUDECODE"] = "1";
    RunningChild agent(options);
    ASSERT_TRUE(agent.waitForError("AGENT_DETACHED", 40s));
    const std::string id = onePendingID();  // still waiting
    ASSERT_FALSE(id.empty());

    auto allowed = cli({"allow", id}, {{"CLAUDECODE", std::nullopt}});
    EXPECT_EQ(allowed.exitCode, 0) << allowed.err;
    auto result = agent.wait(30s);
    EXPECT_NE(result.err.find("AGENT_DETACHED vorla-agents: this command carries the session "
                              "marker of the agent that is waiting for approval " +
                              id.substr(0, 8)),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find(" rc=1 "), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("AGENT_ALLOW 1 vorla-agents: this command runs under the agent that "
                              "is waiting for approval " +
                              id.substr(0, 8) + "; an agent cannot answer its own approvals."),
              std::string::npos)
        << result.err;
    auto out = json::parse(result.out, nullptr, false);
    ASSERT_TRUE(out.is_object()) << result.out << result.err;
    EXPECT_EQ(out["hookSpecificOutput"]["decision"]["behavior"], "allow");
    EXPECT_TRUE(eventually(
        [&] { return auditText(home).find(R"("kind":"approved")") != std::string::npos; }));
    EXPECT_NE(auditText(home).find(R"("by":"terminal")"), std::string::npos) << auditText(home);
    app->kill(SIGTERM);
    EXPECT_NE(app->wait(10s).err.find("refused to allow " + id), std::string::npos);
}

}  // namespace
}  // namespace vorla::test
