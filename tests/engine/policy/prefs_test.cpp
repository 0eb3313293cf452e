#include "engine/policy/prefs.h"

#include <gtest/gtest.h>

#include "support/manual_clock.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

class FakeLoginItems final : public LoginItems {
  public:
    Result<> setRegistered(bool registered) override {
        calls.push_back(registered);
        if (failure) {
            return fail(*failure);
        }
        return {};
    }
    std::vector<bool> calls;
    std::optional<std::string> failure;
};

TEST(PrefsTest, FreshUserGetsTheDefaultsAndLevelsCompareWithTheRiskNumber) {
    MemoryPreferencesStore store;
    Prefs prefs(store);
    EXPECT_TRUE(prefs.soundEnabled());
    EXPECT_FALSE(prefs.launchAtLogin());
    EXPECT_EQ(prefs.autoApproveLevel(), 0);
    EXPECT_FALSE(prefs.notifyEnabled());
    EXPECT_EQ(store.writes(), 0);  // nothing written back at load
    // Level 0 is "Auto-approve read-only".
    EXPECT_TRUE(prefs.shouldAutoApprove(Risk::trivial));
    EXPECT_FALSE(prefs.shouldAutoApprove(Risk::normal));
    EXPECT_FALSE(autoApproves(-7, Risk::trivial));  // any negative level is "never"
    EXPECT_TRUE(autoApproves(2, Risk::elevated));
    EXPECT_FALSE(autoApproves(2, Risk::critical));
    EXPECT_TRUE(autoApproves(3, Risk::critical));
}

TEST(PrefsTest, StoredValuesOfTheWrongTypeReadAsDefaults) {
    MemoryPreferencesStore store;
    store.put("autoApproveLevel", std::string("1"));
    store.put("soundEnabled", std::int64_t{0});
    store.put("notifyEnabled", true);
    Prefs prefs(store);
    EXPECT_EQ(prefs.autoApproveLevel(), 0);
    EXPECT_TRUE(prefs.soundEnabled());
    EXPECT_TRUE(prefs.notifyEnabled());
}

TEST(PrefsTest, EverySetStoresEvenWhenUnchangedButNotifiesOnlyOnChange) {
    MemoryPreferencesStore store;
    Prefs prefs(store);
    int changes = 0;
    auto subscription = prefs.subscribe([&] { ++changes; });
    prefs.setSoundEnabled(true);
    EXPECT_EQ(store.writes(), 1);
    EXPECT_EQ(changes, 0);
    prefs.setAutoApproveLevel(-1);
    EXPECT_EQ(std::get<std::int64_t>(*store.object("autoApproveLevel")), -1);
    EXPECT_FALSE(prefs.shouldAutoApprove(Risk::trivial));
    EXPECT_EQ(changes, 1);
}

TEST(PrefsTest, LaunchAtLoginFailureIsLoggedAndTheValueKept) {
    MemoryPreferencesStore store;
    FakeLoginItems login;
    login.failure = "autostart folder is read-only";
    testing::internal::CaptureStderr();
    {
        Prefs prefs(store, &login);
        prefs.setLaunchAtLogin(true);
        EXPECT_TRUE(prefs.launchAtLogin());
    }
    std::string logged = testing::internal::GetCapturedStderr();
    EXPECT_EQ(logged, "launch-at-login toggle failed: autostart folder is read-only\n");
    EXPECT_EQ(login.calls, std::vector<bool>{true});
    EXPECT_TRUE(std::get<bool>(*store.object("launchAtLogin")));
}

TEST(FilePreferencesStoreTest, HandWrittenOddValuesAndCorruptFiles) {
    test::TempHome home;
    test::ManualClock clock(fromEpochSeconds(1764000000));
    home.write(".vorla-agents/data/prefs.json",
               R"({"autoApproveLevel":99,"soundEnabled":"no","notifyEnabled":null})");
    {
        FilePreferencesStore file(FilePreferencesStore::defaultPath(), clock);
        testing::internal::CaptureStderr();
        Prefs prefs(file);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "autoApproveLevel 99 is outside -1...1; using 1\n");
        // The nearest level the interface offers: critical calls still ask.
        EXPECT_EQ(prefs.autoApproveLevel(), 1);
        EXPECT_FALSE(prefs.shouldAutoApprove(Risk::critical));
        EXPECT_TRUE(prefs.soundEnabled());
        EXPECT_FALSE(prefs.notifyEnabled());
    }
    home.write(".vorla-agents/data/prefs.json", R"({"autoApproveLevel":-40})");
    {
        FilePreferencesStore file(FilePreferencesStore::defaultPath(), clock);
        testing::internal::CaptureStderr();
        Prefs prefs(file);
        EXPECT_EQ(prefs.autoApproveLevel(), -1);
        prefs.setAutoApproveLevel(7);
        EXPECT_EQ(prefs.autoApproveLevel(), 1);
        (void)testing::internal::GetCapturedStderr();
    }
    home.write(".vorla-agents/data/prefs.json", "{\"autoApproveLevel\":");
    FilePreferencesStore file(FilePreferencesStore::defaultPath(), clock);
    Prefs prefs(file);
    EXPECT_EQ(prefs.autoApproveLevel(), 0);
    prefs.setNotifyEnabled(true);
    EXPECT_EQ(home.read(".vorla-agents/data/prefs.json.corrupt-20251124-160000"),
              "{\"autoApproveLevel\":");
    EXPECT_EQ(home.read(".vorla-agents/data/prefs.json"), R"({"notifyEnabled":true})");
}

}  // namespace
}  // namespace vorla
