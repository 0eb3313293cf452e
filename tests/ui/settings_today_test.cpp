// The Today page: tiles, one track per project, and the diff peek behind a
// track's disclosure, with git as a real program.
#include <filesystem>
#include <fstream>

#include "settings_fixture.h"
#include "support/git.h"
#include "ui/settings/project_track.h"
#include "ui/settings/today_page.h"

namespace vorla::ui::test {
namespace {

using TodaySettings = SettingsFixture;
using vorla::test::git;

TEST_F(TodaySettings, ShowsTilesAndATrackPerProject) {
    auto* page = show<TodayPage>(SettingsTab::today);
    EXPECT_TRUE(shows(page, "Nothing today yet. Start an agent and it'll show up here."));

    record("tool", "Read", "a", 120, "shop", "s1");
    record("tool", "Read", "b", 60, "shop", "s1");
    record("tool", "Read", "c", 90, "blog", "s2");
    record("tool", "Read", "d", 30, "shop", "s3");
    EXPECT_TRUE(shows(page, "1h 1m"));  // 10:00-11:00 and 11:30-11:31; 10:30 overlaps
    EXPECT_TRUE(shows(page, "3"));
    EXPECT_TRUE(shows(page, "2 sessions"));
    EXPECT_TRUE(shows(page, "1 session"));
    ASSERT_NE(page->track("blog"), nullptr);
    EXPECT_EQ(hourLabel(0), "12a");
    EXPECT_EQ(hourLabel(13), "1p");
}

// git comes from the search path, and runs only in the folder of a live
// session, not in one whose agent has finished: the fake records where it ran.
TEST_F(TodaySettings, GitFromThePathRunsOnlyWhereASessionLives) {
    const std::string calls = home_.file("git-calls");
    home_.write("bin/git", "#!/bin/sh\npwd >> '" + calls + "'\n");
    std::filesystem::permissions(home_.file("bin/git"), std::filesystem::perms::owner_all);
    vorla::test::ScopedEnv path("PATH", home_.file("bin") + ":" + std::getenv("PATH"));
    const std::string shop = home_.file("shop");
    std::filesystem::create_directories(shop);
    std::filesystem::create_directories(home_.file("blog"));
    startSession("s1", shop);
    startSession("s2", home_.file("blog"));
    Event stop;
    stop.id = "s2-stop";
    stop.event = Canonical::stop;
    stop.rawEvent = "Stop";
    stop.sessionID = "s2";
    stop.ts = toEpochSeconds(clock_.now());
    store_.apply(stop);
    record("tool", "Read", "a", 30, "blog", "s2");
    record("tool", "Edit", "b", 20, "shop", "s1");

    auto* page = show<TodayPage>(SettingsTab::today);
    ProjectTrack* blog = page->track("blog");
    ProjectTrack* shopTrack = page->track("shop");
    ASSERT_NE(blog, nullptr);
    ASSERT_NE(shopTrack, nullptr);
    blog->setExpanded(true);
    EXPECT_EQ(blog->peekLines(), QStringList{"No live session — nothing to diff."});
    shopTrack->setExpanded(true);
    ASSERT_TRUE(
        waitFor([&] { return shopTrack->peekLines() == QStringList{"Not a git repository."}; }));
    std::ifstream recorded(calls);
    std::string line;
    std::vector<std::string> folders;
    while (std::getline(recorded, line)) {
        folders.push_back(line);
    }
    EXPECT_EQ(folders, std::vector<std::string>{shop});
}

TEST_F(TodaySettings, TwelveChangedFilesListSixAndCountTheRest) {
    const std::string repo = home_.file("shop");
    std::filesystem::create_directories(repo);
    git(repo, {"init", "-q"});
    for (int i = 0; i < 12; ++i) {
        std::ofstream(repo + "/f" + std::to_string(i) + ".txt") << "one\n";
    }
    git(repo, {"add", "-A"});
    git(repo, {"commit", "-q", "-m", "start"});
    for (int i = 0; i < 12; ++i) {
        std::ofstream(repo + "/f" + std::to_string(i) + ".txt") << "two\nthree\n";
    }
    std::ofstream(repo + "/new.txt") << "x\n";
    startSession("s1", repo);
    record("tool", "Edit", "f0.txt", 5, "shop", "s1");

    auto* page = show<TodayPage>(SettingsTab::today);
    ProjectTrack* track = page->track("shop");
    ASSERT_NE(track, nullptr);
    track->setExpanded(true);
    EXPECT_EQ(track->peekLines(), QStringList{"Reading ~/shop…"});
    ASSERT_TRUE(waitFor([&] { return track->peekLines().size() == 9; }));
    const QStringList lines = track->peekLines();
    EXPECT_EQ(lines[0], "main");
    EXPECT_TRUE(lines[1].endsWith(".txt  +2 -1"));
    EXPECT_EQ(lines[7], "+6 more files");
    EXPECT_EQ(lines[8], "1 untracked");

    clickButton(page, "Jump");
    EXPECT_EQ(opened_, std::vector<std::string>{repo});
}

}  // namespace
}  // namespace vorla::ui::test
