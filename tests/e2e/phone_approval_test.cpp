// A phone answers a waiting agent: the real headless app with VORLA_REMOTE=1,
// a real vorla-bridge blocked on a permission request, and headless Chromium
// pressing Allow on the pairing page.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "core/paths.h"
#include "e2e_support.h"
#include "support/browser.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

using namespace std::chrono_literals;

class PhoneApproval : public ::testing::Test {
  protected:
    void TearDown() override {
        if (app) {
            app->kill(SIGTERM);
            app->wait(10s);
        }
    }

    test::TempHome home;
    std::unique_ptr<test::RunningChild> app;
};

TEST_F(PhoneApproval, allowOnThePhoneAnswersTheWaitingBridge) {
    const std::string url = test::startPhoneApp(home, app);
    ASSERT_EQ(url.rfind("http://", 0), 0U) << home.read("app.err").value_or("");
    // The terminal shows the address under its QR code; the log never holds
    // the token.
    EXPECT_NE(home.read("app.out").value_or("").find("\u2588"), std::string::npos);
    const std::string token = url.substr(url.find("?t=") + 3);
    EXPECT_EQ(home.read("app.err").value_or("").find(token), std::string::npos);
    // Taking connections, not only bound: a bridge refused in between would go.
    ASSERT_TRUE(test::eventually([] { return test::accepting(socketPath()); }, 20s));

    auto hook = test::bridgeOptions(test::toolPayload("PermissionRequest", "s-phone", "Bash",
                                                      {{"command", "rm -rf node_modules"}}));
    hook.timeout = 90s;
    test::RunningChild bridge(hook);

    auto run = test::phonePageInBrowser(url, "rm -rf node_modules", "allow");
    ASSERT_FALSE(run.missing) << "the browser test needs " << *run.missing;
    auto browser = test::runChild(run.options);
    ASSERT_EQ(browser.exitCode, 0) << browser.err;
    EXPECT_NE(browser.out.find("Claude Code"), std::string::npos) << browser.out;
    EXPECT_NE(browser.out.find("shop"), std::string::npos) << browser.out;
    EXPECT_NE(browser.out.find("DESTRUCTIVE"), std::string::npos) << browser.out;
    EXPECT_NE(browser.out.find("Nothing waiting."), std::string::npos) << browser.out;  // reloaded

    auto answered = bridge.wait(20s);
    EXPECT_EQ(answered.exitCode, 0);
    EXPECT_NE(answered.out.find("\"behavior\":\"allow\""), std::string::npos) << answered.out;
    EXPECT_NE(answered.out.find("Vorla Agents: approved from your phone"), std::string::npos)
        << answered.out;
}

}  // namespace
}  // namespace vorla
