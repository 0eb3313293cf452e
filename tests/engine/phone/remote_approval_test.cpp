// The phone server over real TCP on 127.0.0.1, on a port of its own per test,
// spoken to byte for byte by a bare client.
#include "engine/phone/remote_approval.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <future>
#include <thread>

#include "engine/phone/page_address.h"
#include "support/eventually.h"

namespace vorla {
namespace {

using namespace std::chrono_literals;

struct Reply {
    std::string raw;
    bool closedByServer = false;  // false: our read timed out first

    [[nodiscard]] std::string status() const { return raw.substr(0, raw.find("\r\n")); }
    [[nodiscard]] std::string body() const {
        std::size_t end = raw.find("\r\n\r\n");
        return end == std::string::npos ? "" : raw.substr(end + 4);
    }
    [[nodiscard]] std::string header(const std::string& name) const {
        std::size_t at = raw.find("\r\n" + name + ": ");
        if (at == std::string::npos) {
            return {};
        }
        at += name.size() + 4;
        return raw.substr(at, raw.find("\r\n", at) - at);
    }
};

// Sends `bytes` (nothing when empty), then reads until the server closes or
// a read waits `timeout`.
// Connects from 127.0.0.1, or from another loopback address `from`.
int tcpConnect(std::uint16_t port, const char* from = nullptr) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (from != nullptr) {
        sockaddr_in source{};
        source.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &source.sin_addr);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source), 0);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

Reply tcpExchange(std::uint16_t port, const std::string& bytes, std::chrono::milliseconds timeout) {
    int fd = tcpConnect(port);
    timeval wait{timeout.count() / 1000, static_cast<suseconds_t>(timeout.count() % 1000 * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    EXPECT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), std::ssize(bytes));
    Reply reply;
    std::array<char, 65536> chunk{};
    ssize_t n = 0;
    while ((n = ::recv(fd, chunk.data(), chunk.size(), 0)) > 0) {
        reply.raw.append(chunk.data(), static_cast<std::size_t>(n));
    }
    reply.closedByServer = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
    ::close(fd);
    return reply;
}

phone::HttpLimits quickLimits() {
    phone::HttpLimits limits;
    limits.read = 300ms;
    limits.linger = 300ms;
    return limits;
}

class RemoteApprovalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        remote.setGateSource([this] { return gates; });
        remote.setOnDecision([this](const std::string& id, Behavior behavior) {
            EXPECT_EQ(std::this_thread::get_id(), mainThread);
            decisions.emplace_back(id, behavior);
            gates.clear();
        });
        auto enabled = remote.enable();
        ASSERT_TRUE(enabled) << enabled.error().message;
    }

    // Runs `work` on another thread while this (main) thread serves the queue.
    template <typename Work>
    auto serving(Work work) {
        auto pending = std::async(std::launch::async, work);
        while (pending.wait_for(1ms) != std::future_status::ready) {
            queue.runPending();
        }
        return pending.get();
    }
    Reply exchange(const std::string& bytes, std::chrono::milliseconds timeout = 10s) {
        auto port = remote.boundPort();
        return serving([=] { return tcpExchange(port, bytes, timeout); });
    }
    Reply request(const std::string& method, const std::string& target,
                  const std::string& headers = "") {
        return exchange(method + " " + target + " HTTP/1.1\r\nHost: " + host() + "\r\n" + headers +
                        "\r\n");
    }
    std::string host(const std::string& name = "127.0.0.1") const {
        return name + ":" + std::to_string(remote.boundPort());
    }
    std::string withToken(const std::string& path) const { return path + "t=" + remote.token(); }

    LoopMainQueue queue;
    RemoteApproval remote{queue, 0, quickLimits()};
    std::vector<phone::GateCard> gates;
    std::vector<std::pair<std::string, Behavior>> decisions;
    const std::thread::id mainThread = std::this_thread::get_id();
};

TEST_F(RemoteApprovalTest, servesThePageOnlyWithTheCurrentToken) {
    auto page = request("GET", withToken("/?"));
    EXPECT_EQ(page.status(), "HTTP/1.1 200 OK");
    EXPECT_EQ(page.header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(page.header("Cache-Control"), "no-store");
    EXPECT_EQ(page.header("Connection"), "close");
    EXPECT_NE(page.body().find("Nothing waiting."), std::string::npos);

    auto anonymous = request("GET", "/");
    EXPECT_EQ(anonymous.status(), "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(anonymous.body(), "no");
    // Only the whole token, and only as the t parameter (anywhere in the query).
    for (const std::string& target :
         {"/?t=" + remote.token().substr(1), "/?t=" + remote.token() + "x",
          "/anything?foot=" + remote.token(), "/t=" + remote.token()}) {
        EXPECT_EQ(request("GET", target).status(), "HTTP/1.1 401 Unauthorized") << target;
    }
    EXPECT_EQ(request("GET", "/anything?x=1&" + withToken("")).status(), "HTTP/1.1 200 OK");

    auto bad = exchange("GET\r\n\r\n");
    EXPECT_EQ(bad.status(), "HTTP/1.1 400 Bad Request");
    EXPECT_EQ(bad.body(), "bad");
}

TEST_F(RemoteApprovalTest, theOldAddressStopsWorkingAfterDisableAndEnable) {
    std::string oldTarget = withToken("/?");
    std::uint16_t port = remote.boundPort();
    EXPECT_EQ(remote.pairingURL(), "http://" + pairingHostName() +
                                       ".local:" + std::to_string(port) + "/?t=" + remote.token());

    remote.disable();
    EXPECT_FALSE(remote.enabled());
    EXPECT_EQ(remote.token(), "");
    remote.setPort(port);  // the same port again, straight away
    auto enabled = remote.enable();
    ASSERT_TRUE(enabled) << enabled.error().message;

    EXPECT_EQ(request("GET", oldTarget).status(), "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(request("GET", withToken("/?")).status(), "HTTP/1.1 200 OK");
}

const std::string kG1 = "0B6E1B8C-3F0A-4C55-9A4E-2D1F7C9E5A10";
const std::string kG2 = "1B6E1B8C-3F0A-4C55-9A4E-2D1F7C9E5A10";
const std::string kG3 = "2b6e1b8c-3f0a-4c55-9a4e-2d1f7c9e5a10";

TEST_F(RemoteApprovalTest, postedDecisionsReachTheMainThread) {
    EXPECT_EQ(request("POST", "/decide?" + withToken("") + "&id=" + kG1 + "&a=allow").body(), "ok");
    EXPECT_EQ(request("POST", "/decide?id=" + kG2 + "&a=ALLOW&" + withToken("")).body(), "ok");
    // The page's own origin may come along.
    EXPECT_EQ(
        request("POST", withToken("/x?a=yes&id=" + kG3 + "&"), "Origin: http://" + host() + "\r\n")
            .body(),
        "ok");
    auto missing = request("POST", "/decide?" + withToken("") + "&a=allow");
    EXPECT_EQ(missing.status(), "HTTP/1.1 400 Bad Request");
    EXPECT_EQ(request("POST", "/decide?id=" + kG1 + "&a=allow").body(), "no");

    std::vector<std::pair<std::string, Behavior>> expected = {
        {kG1, Behavior::allow}, {kG2, Behavior::deny}, {kG3, Behavior::deny}};
    EXPECT_EQ(decisions, expected);
}

// What another web page, a crafted gate id or a guess could send; none of it
// reaches a gate.
TEST_F(RemoteApprovalTest, foreignHostsOriginsRepeatsAndStrangeIdsAreRefused) {
    const std::string decide = "/decide?" + withToken("") + "&id=" + kG1 + "&a=allow";
    const std::string port = std::to_string(remote.boundPort());
    struct Case {
        std::string target;
        std::string headers;  // after the request line
        std::string status;
    };
    const std::vector<Case> cases = {
        // DNS rebinding: a page whose own name now points here.
        {decide, "Host: rebind.evil.example:" + port + "\r\n", "403 Forbidden"},
        {decide, "Host: 127.0.0.1:1\r\n", "403 Forbidden"},
        {decide, "", "403 Forbidden"},
        {decide, "Host: " + host() + "\r\nHost: evil:" + port + "\r\n", "403 Forbidden"},
        {decide, "Host: " + host() + "\r\nOrigin: http://evil.example\r\n", "403 Forbidden"},
        {decide, "Host: " + host() + "\r\nOrigin: null\r\n", "403 Forbidden"},
        // The first "a" must not win over a second one.
        {decide + "&a=deny", "Host: " + host() + "\r\n", "400 Bad Request"},
        {decide + "&" + withToken(""), "Host: " + host() + "\r\n", "400 Bad Request"},
        {"/decide?" + withToken("") + "&id=X%26a%3Dallow&a=allow", "Host: " + host() + "\r\n",
         "400 Bad Request"},
        {"/decide?" + withToken("") + "&id=" + kG1 + "x&a=allow", "Host: " + host() + "\r\n",
         "400 Bad Request"},
    };
    for (const Case& c : cases) {
        auto reply = exchange("POST " + c.target + " HTTP/1.1\r\n" + c.headers + "\r\n");
        EXPECT_EQ(reply.status(), "HTTP/1.1 " + c.status) << c.target << "\n" << c.headers;
    }
    EXPECT_TRUE(decisions.empty());

    // Every name the page is advertised under works, in any case.
    std::vector<std::string> names = {"localhost", "LocalHost", "[::1]",
                                      pairingHostName() + ".local"};
    for (const std::string& address : phone::localAddresses()) {
        names.push_back(address);
    }
    for (const std::string& name : names) {
        auto reply =
            exchange("GET " + withToken("/?") + " HTTP/1.1\r\nHost: " + host(name) + "\r\n\r\n");
        EXPECT_EQ(reply.status(), "HTTP/1.1 200 OK") << name;
    }
}

TEST_F(RemoteApprovalTest, cardsAreEscapedAndLengthsCountBytes) {
    gates = {{kG1,
              "Claude Code",
              "Bash",
              "api",
              Risk::elevated,
              {"installs packages"},
              "<script>x()</script>"},
             {kG2, "Agent", "Write", "", Risk::normal, {}, "b & c"}};
    auto page = request("GET", withToken("/?"));
    std::string body = page.body();
    EXPECT_EQ(page.header("Content-Length"), std::to_string(body.size()));
    EXPECT_NE(body.find("<pre>&lt;script&gt;x()&lt;/script&gt;</pre>"), std::string::npos);
    EXPECT_EQ(body.find("<script>x()"), std::string::npos);
    EXPECT_NE(body.find("elevated   \u00b7 installs packages"), std::string::npos);
    EXPECT_LT(body.find("d('" + kG1 + "','allow')"), body.find("d('" + kG2 + "','allow')"));
    // The middle dot of " · " is one character but two bytes.
    auto characters = std::count_if(body.begin(), body.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    EXPECT_LT(static_cast<std::size_t>(characters), body.size());
}

TEST_F(RemoteApprovalTest, anOversizedRequestIsAnsweredFromItsFirst16384Bytes) {
    std::string big = "GET " + withToken("/?") + " HTTP/1.1\r\nHost: " + host() +
                      "\r\nX-Padding: " + std::string(40000, 'a') + "\r\n\r\n";
    auto reply = exchange(big);
    EXPECT_TRUE(reply.closedByServer);
    EXPECT_EQ(reply.status(), "HTTP/1.1 200 OK");
}

TEST_F(RemoteApprovalTest, silentAndNonUtf8ClientsAreClosedAfterTheReadLimit) {
    for (const std::string bytes : {"", "GET /\xff\xfe HTTP/1.1\r\n\r\n"}) {
        auto reply = exchange(bytes, 5s);
        EXPECT_TRUE(reply.closedByServer);
        EXPECT_EQ(reply.raw, "");
    }
}

TEST_F(RemoteApprovalTest, aPortInUseIsReportedAndLeavesTheServerOff) {
    RemoteApproval second(queue, remote.boundPort());
    auto enabled = second.enable();
    EXPECT_FALSE(second.enabled());
    EXPECT_EQ(second.token(), "");
    ASSERT_FALSE(enabled);
    EXPECT_EQ(enabled.error().message, "Could not listen on port " +
                                           std::to_string(remote.boundPort()) +
                                           ": Address already in use");
}

// Idle connections that would hold their slots for a minute, from the
// client's own address and from a dozen others: the oldest make room.
TEST(RemoteApprovalFlood, idleConnectionsCannotLockThePhoneOut) {
    LoopMainQueue queue;
    phone::HttpLimits patient;
    patient.read = 60s;
    RemoteApproval remote(queue, 0, patient);
    ASSERT_TRUE(remote.enable());
    const std::uint16_t port = remote.boundPort();
    std::vector<int> idle;
    for (int client = 1; client <= 13; ++client) {
        const std::string from = "127.0.0." + std::to_string(client);
        for (int i = 0; i < 10; ++i) {
            idle.push_back(tcpConnect(port, from.c_str()));
        }
    }
    std::string request = "GET /?t=" + remote.token() +
                          " HTTP/1.1\r\nHost: localhost:" + std::to_string(port) + "\r\n\r\n";
    auto pending = std::async(std::launch::async, [=] { return tcpExchange(port, request, 10s); });
    while (pending.wait_for(1ms) != std::future_status::ready) {
        queue.runPending();
    }
    EXPECT_EQ(pending.get().status(), "HTTP/1.1 200 OK");
    for (int fd : idle) {
        ::close(fd);
    }
}

// Pressing Allow on the page in a real browser runs end to end, with the
// app and a waiting bridge, in e2e phone_approval_test.

// Counts what reaches the queue, so a test can wait for a request to arrive.
class CountingQueue final : public MainQueue {
  public:
    void post(Task task) override {
        loop.post(std::move(task));
        ++posted;
    }
    TimerHandle postAfter(std::chrono::milliseconds delay, Task task) override {
        return loop.postAfter(delay, std::move(task));
    }
    LoopMainQueue loop;
    std::atomic<int> posted{0};
};

TEST(RemoteApprovalLifetime, requestsInFlightAreDroppedOnceTheServerIsGone) {
    CountingQueue queue;
    std::future<Reply> pending;
    {
        RemoteApproval remote(queue, 0, quickLimits());
        ASSERT_TRUE(remote.enable());
        std::uint16_t port = remote.boundPort();
        std::string request = "GET /?t=" + remote.token() +
                              " HTTP/1.1\r\nHost: localhost:" + std::to_string(port) + "\r\n\r\n";
        pending = std::async(std::launch::async, [=] { return tcpExchange(port, request, 5s); });
        // The request reached the queue; go away before serving it.
        ASSERT_TRUE(test::eventually([&] { return queue.posted > 0; }));
    }
    queue.loop.runPending();
    EXPECT_TRUE(pending.get().closedByServer);
}

}  // namespace
}  // namespace vorla
