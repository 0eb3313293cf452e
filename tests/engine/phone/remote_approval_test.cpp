// The phone server over real TCP on 127.0.0.1, on a port of its own per test.
#include "engine/phone/remote_approval.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "http_client.h"

namespace vorla {
namespace {

using namespace std::chrono_literals;

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
        });
        remote.enable();
        ASSERT_TRUE(remote.enabled()) << remote.lastError().value_or("");
    }

    // Sends from another thread while this (main) thread serves the queue.
    test::RawExchange exchange(const std::string& bytes, std::chrono::milliseconds timeout = 10s) {
        auto port = remote.boundPort();
        auto pending =
            std::async(std::launch::async, [=] { return test::tcpExchange(port, bytes, timeout); });
        while (pending.wait_for(1ms) != std::future_status::ready) {
            queue.runPending();
        }
        return pending.get();
    }
    test::HttpReply request(const std::string& method, const std::string& target) {
        return test::parseReply(
            exchange(method + " " + target + " HTTP/1.1\r\nHost: phone\r\n\r\n").received);
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
    EXPECT_EQ(page.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(page.headers["Content-Type"], "text/html; charset=utf-8");
    EXPECT_EQ(page.headers["Cache-Control"], "no-store");
    EXPECT_EQ(page.headers["Connection"], "close");
    EXPECT_NE(page.body.find("Nothing waiting."), std::string::npos);

    auto anonymous = request("GET", "/");
    EXPECT_EQ(anonymous.statusLine, "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(anonymous.body, "no");
    EXPECT_EQ(request("GET", "/?t=" + remote.token().substr(1)).statusLine,
              "HTTP/1.1 401 Unauthorized");
    // The token may sit anywhere in the target.
    EXPECT_EQ(request("GET", "/anything?x=1&" + withToken("")).statusLine, "HTTP/1.1 200 OK");

    auto bad = test::parseReply(exchange("GET\r\n\r\n").received);
    EXPECT_EQ(bad.statusLine, "HTTP/1.1 400 Bad Request");
    EXPECT_EQ(bad.body, "bad");
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
    remote.enable();
    ASSERT_TRUE(remote.enabled()) << remote.lastError().value_or("");

    EXPECT_EQ(request("GET", oldTarget).statusLine, "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(request("GET", withToken("/?")).statusLine, "HTTP/1.1 200 OK");
}

TEST_F(RemoteApprovalTest, postedDecisionsReachTheMainThread) {
    EXPECT_EQ(request("POST", "/decide?" + withToken("") + "&id=G1&a=allow").body, "ok");
    EXPECT_EQ(request("POST", "/decide?id=G2&a=ALLOW&" + withToken("")).body, "ok");
    EXPECT_EQ(request("POST", withToken("/x?a=yes&id=G3&")).body, "ok");
    auto missing = request("POST", "/decide?" + withToken("") + "&a=allow");
    EXPECT_EQ(missing.statusLine, "HTTP/1.1 400 Bad Request");
    EXPECT_EQ(request("POST", "/decide?id=G4&a=allow").body, "no");

    std::vector<std::pair<std::string, Behavior>> expected = {
        {"G1", Behavior::allow}, {"G2", Behavior::deny}, {"G3", Behavior::deny}};
    EXPECT_EQ(decisions, expected);
}

TEST_F(RemoteApprovalTest, cardsAreEscapedAndLengthsCountBytes) {
    gates = {{"G1",
              "Claude Code",
              "Bash",
              "api",
              Risk::elevated,
              {"installs packages"},
              "<script>x()</script>"},
             {"G2", "Agent", "Write", "", Risk::normal, {}, "b & c"}};
    auto page = request("GET", withToken("/?"));
    EXPECT_EQ(page.headers["Content-Length"], std::to_string(page.body.size()));
    EXPECT_NE(page.body.find("<pre>&lt;script&gt;x()&lt;/script&gt;</pre>"), std::string::npos);
    EXPECT_EQ(page.body.find("<script>x()"), std::string::npos);
    EXPECT_NE(page.body.find("elevated   \u00b7 installs packages"), std::string::npos);
    EXPECT_LT(page.body.find("d('G1','allow')"), page.body.find("d('G2','allow')"));
    // The middle dot of " · " is one character but two bytes.
    auto characters = std::count_if(page.body.begin(), page.body.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    EXPECT_LT(static_cast<std::size_t>(characters), page.body.size());
}

TEST_F(RemoteApprovalTest, anOversizedRequestIsAnsweredFromItsFirst16384Bytes) {
    std::string big = "GET " + withToken("/?") +
                      " HTTP/1.1\r\nX-Padding: " + std::string(40000, 'a') + "\r\n\r\n";
    auto reply = exchange(big);
    EXPECT_TRUE(reply.closedByServer);
    EXPECT_EQ(test::parseReply(reply.received).statusLine, "HTTP/1.1 200 OK");
}

TEST_F(RemoteApprovalTest, silentAndNonUtf8ClientsAreClosedAfterTheReadLimit) {
    auto silent = exchange("", 5s);
    EXPECT_TRUE(silent.closedByServer);
    EXPECT_EQ(silent.received, "");

    auto binary = exchange("GET /\xff\xfe HTTP/1.1\r\n\r\n", 5s);
    EXPECT_TRUE(binary.closedByServer);
    EXPECT_EQ(binary.received, "");
}

TEST_F(RemoteApprovalTest, aPortInUseIsReportedAndLeavesTheServerOff) {
    RemoteApproval second(queue, remote.boundPort());
    second.enable();
    EXPECT_FALSE(second.enabled());
    EXPECT_EQ(second.token(), "");
    EXPECT_EQ(second.lastError(), "Could not listen on port " + std::to_string(remote.boundPort()) +
                                      ": Address already in use");
}

TEST(RemoteApprovalLifetime, requestsInFlightAreDroppedOnceTheServerIsGone) {
    LoopMainQueue queue;
    std::uint16_t port = 0;
    std::future<test::RawExchange> pending;
    {
        RemoteApproval remote(queue, 0, quickLimits());
        remote.enable();
        port = remote.boundPort();
        std::string target = "/?t=" + remote.token();
        pending = std::async(std::launch::async, [=] {
            return test::tcpExchange(port, "GET " + target + " HTTP/1.1\r\n\r\n", 5s);
        });
        // Let the request reach the queue, then go away before serving it.
        std::this_thread::sleep_for(200ms);
    }
    queue.runPending();
    EXPECT_TRUE(pending.get().closedByServer);
}

}  // namespace
}  // namespace vorla
