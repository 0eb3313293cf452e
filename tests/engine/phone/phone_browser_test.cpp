// The page in a real browser: the card shows, Allow posts the decision, the
// page reloads to "Nothing waiting.".
#include <gtest/gtest.h>

#include <future>
#include <nlohmann/json.hpp>

#include "engine/phone/remote_approval.h"
#include "support/browser.h"

namespace vorla {
namespace {

TEST(PhoneBrowser, allowOnTheCardReachesTheServer) {
    LoopMainQueue queue;
    RemoteApproval remote(queue, 0);
    std::vector<phone::GateCard> gates = {{"G-7",
                                           "Claude Code",
                                           "Bash",
                                           "shop",
                                           Risk::elevated,
                                           {"installs packages"},
                                           "npm install left-pad"}};
    std::vector<std::pair<std::string, Behavior>> decisions;
    remote.setGateSource([&] { return gates; });
    remote.setOnDecision([&](const std::string& id, Behavior behavior) {
        decisions.emplace_back(id, behavior);
        gates.clear();
    });
    remote.enable();
    ASSERT_TRUE(remote.enabled());

    auto run = test::phonePageInBrowser(remote.pairingURL(), "npm install left-pad", "allow");
    ASSERT_FALSE(run.missing) << "the browser test needs " << *run.missing;
    test::RunningChild browser(run.options);
    auto pending =
        std::async(std::launch::async, [&] { return browser.wait(std::chrono::seconds(60)); });
    while (pending.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready) {
        queue.runPending();
    }
    auto result = pending.get();

    ASSERT_EQ(result.exitCode, 0) << result.err;
    auto seen = nlohmann::json::parse(result.out);
    std::string card = seen["card"];
    EXPECT_NE(card.find("Claude Code"), std::string::npos) << card;
    EXPECT_NE(card.find("elevated"), std::string::npos) << card;
    EXPECT_NE(seen["after"].get<std::string>().find("Nothing waiting."), std::string::npos);
    ASSERT_EQ(decisions.size(), 1U);
    EXPECT_EQ(decisions[0], std::make_pair(std::string("G-7"), Behavior::allow));
}

}  // namespace
}  // namespace vorla
