#include "engine/records/audit_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "engine/support/calendar.h"
#include "support/manual_clock.h"
#include "support/scoped_env.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

WallTime at(const char* iso) {
    return *parseISO8601(iso);
}

AuditEntry entry(const char* iso, std::string_view kind, std::optional<int> risk = std::nullopt,
                 std::string agent = "claude", std::string detail = "npm test") {
    AuditEntry e{at(iso), std::move(agent),  "s1", "app", AuditKind::tool,
                 "Bash",  std::move(detail), risk};
    e.setKind(kind);
    return e;
}

// Berlin in winter is UTC+1: local midnight of 2026-01-15 is 2026-01-14T23:00:00Z.
class AuditLogTest : public ::testing::Test {
  protected:
    std::string dayFile(const std::string& day) const {
        return ".vorla-agents/audit/" + day + ".jsonl";
    }
    std::size_t lineCount(const std::string& day) const {
        auto text = home_.read(dayFile(day));
        return text ? static_cast<std::size_t>(std::count(text->begin(), text->end(), '\n')) : 0;
    }

    test::ScopedEnv zone_{"TZ", "Europe/Berlin"};
    // Exports go to the temporary home's Desktop.
    test::ScopedEnv noDesktopEnv_{"XDG_DESKTOP_DIR", std::nullopt};
    test::ScopedEnv noConfigEnv_{"XDG_CONFIG_HOME", std::nullopt};
    test::TempHome home_;
    test::ManualClock clock_{at("2026-01-15T09:00:00Z")};
};

TEST_F(AuditLogTest, RecordAppendsTheExactLineToTheEntrysOwnDay) {
    AuditLog log(clock_);
    // 23:59:59 local on the 14th, recorded after midnight: goes to the 14th's file.
    log.record(entry("2026-01-14T22:59:59Z", "tool"));
    log.record(entry("2026-01-15T08:00:00Z", "approved", 2, "codex", "a \"b\"\tc"));
    EXPECT_EQ(*home_.read(dayFile("2026-01-14")),
              R"({"ts":"2026-01-14T22:59:59Z","agent":"claude","sessionID":"s1","project":"app",)"
              R"("kind":"tool","tool":"Bash","detail":"npm test"})"
              "\n");
    EXPECT_EQ(*home_.read(dayFile("2026-01-15")),
              R"({"ts":"2026-01-15T08:00:00Z","agent":"codex","sessionID":"s1","project":"app",)"
              R"("kind":"approved","tool":"Bash","detail":"a \"b\"\tc","risk":2})"
              "\n");
    ASSERT_EQ(log.today().size(), 2u);
    EXPECT_EQ(log.today()[0].kind, AuditKind::approved);
    struct stat info {};
    ASSERT_EQ(::stat(home_.file(dayFile("2026-01-15")).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(home_.file(".vorla-agents/audit").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(AuditLogTest, ExistingDayFilesAreAppendedToNeverReplaced) {
    const std::string earlier = encodeAuditLine(entry("2026-01-15T07:00:00Z", "tool")) + "\n";
    home_.write(dayFile("2026-01-15"), earlier + "{\"ts\":\"2026-01-15T07:01:00Z\",\"ag");
    struct stat before {};
    ASSERT_EQ(::stat(home_.file(dayFile("2026-01-15")).c_str(), &before), 0);

    AuditLog log(clock_);
    ASSERT_EQ(log.today().size(), 1u);  // the torn last line is skipped
    log.record(entry("2026-01-15T08:00:00Z", "denied"));

    struct stat after {};
    ASSERT_EQ(::stat(home_.file(dayFile("2026-01-15")).c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);  // same file, not a replacement
    auto text = *home_.read(dayFile("2026-01-15"));
    EXPECT_TRUE(text.starts_with(earlier + "{\"ts\":\"2026-01-15T07:01:00Z\",\"ag\n"));
    AuditLog reloaded(clock_);
    ASSERT_EQ(reloaded.today().size(), 2u);  // the new line was not glued to the torn one
    EXPECT_EQ(reloaded.today()[0].kind, AuditKind::denied);
}

// Who decided is one more field at the end: older lines, without it, still
// read, and the new one reads back as written.
TEST_F(AuditLogTest, WhoDecidedIsAnOptionalExtraField) {
    const std::string old = encodeAuditLine(entry("2026-01-15T07:00:00Z", "approved", 1));
    home_.write(dayFile("2026-01-15"), old + "\n");
    AuditLog log(clock_);
    AuditEntry decided = entry("2026-01-15T08:00:00Z", "denied", 2);
    decided.by = std::string(AuditBy::terminal);
    log.record(decided);
    EXPECT_TRUE(encodeAuditLine(decided).ends_with(R"("risk":2,"by":"terminal"})"));
    AuditLog reloaded(clock_);
    ASSERT_EQ(reloaded.today().size(), 2u);
    EXPECT_EQ(reloaded.today()[0], decided);
    EXPECT_EQ(reloaded.today()[1].by, "");
}

// A link planted in place of today's file is neither read nor written
// through: the file it names keeps its contents, the entry stays in memory.
TEST_F(AuditLogTest, APlantedLinkIsNotFollowed) {
    home_.write(".profile", "export PATH=/usr/bin\n");
    home_.write(dayFile("2026-01-14"), "");
    ASSERT_EQ(::symlink(home_.file(".profile").c_str(), home_.file(dayFile("2026-01-15")).c_str()),
              0);
    AuditLog log(clock_);
    log.record(entry("2026-01-15T08:00:00Z", "approved"));
    EXPECT_EQ(home_.read(".profile"), "export PATH=/usr/bin\n");
    EXPECT_EQ(log.today().size(), 1u);
    ASSERT_EQ(::mkfifo(home_.file(dayFile("2026-01-16")).c_str(), 0600), 0);
    log.record(entry("2026-01-15T23:30:00Z", "approved"));  // the 16th in Berlin: a FIFO
    EXPECT_EQ(log.today().size(), 2u);                      // and no hang on it
}

// A stamp with a fraction (a hand edit) reads as the whole second the
// journal itself writes, so the entry reads back as the line it makes.
TEST_F(AuditLogTest, LoadKeepsOnlyWellFormedLinesNewestFirst) {
    std::string text =
        encodeAuditLine(entry("2026-01-15T07:00:00Z", "tool")) + "\n\n" +
        R"({"ts":"2026-01-15T07:00:01Z","agent":"claude"})" + "\n" +
        R"({"ts":"yesterday","agent":"a","sessionID":"s","project":"p","kind":"k","tool":"t","detail":""})" +
        "\n" +
        R"({"ts":"2026-01-15T07:00:02Z","agent":"a","sessionID":"s","project":"p","kind":"k","tool":"t","detail":"","risk":"high"})" +
        "\n" +
        R"({"ts":"2026-01-15T07:00:03.999Z","agent":"a","sessionID":"s","project":"p","kind":"k","tool":"t","detail":"","risk":null,"extra":[1]})" +
        "\n" +
        R"({"ts":"2026-01-15T07:00:04Z","agent":"a","sessionID":"s","project":"p","kind":"k","tool":"t","detail":""} trailing)" +
        "\n" + encodeAuditLine(entry("2026-01-15T07:00:05Z", "approved", 1));
    home_.write(dayFile("2026-01-15"), text);
    AuditLog log(clock_);
    ASSERT_EQ(log.today().size(), 3u);
    EXPECT_EQ(log.today()[0].risk, 1);
    EXPECT_EQ(log.today()[1].ts, at("2026-01-15T07:00:03Z"));
    EXPECT_EQ(log.today()[1].risk, std::nullopt);
    // A kind this version does not know is kept as written.
    EXPECT_EQ(log.today()[1].kind, AuditKind::other);
    EXPECT_EQ(
        encodeAuditLine(log.today()[1]),
        R"({"ts":"2026-01-15T07:00:03Z","agent":"a","sessionID":"s","project":"p","kind":"k","tool":"t","detail":""})");
    EXPECT_EQ(log.today()[2].kind, AuditKind::tool);
}

// A full disk can tear the last line inside a character: that line goes, the day stays.
TEST_F(AuditLogTest, InvalidUTF8CostsOnlyItsOwnLine) {
    std::string torn =
        encodeAuditLine(entry("2026-01-15T07:00:01Z", "tool", 1, "claude", "caf\xc3\xa9"));
    home_.write(dayFile("2026-01-15"), encodeAuditLine(entry("2026-01-15T07:00:00Z", "tool")) +
                                           "\n\xff\xfe\n" + torn.substr(0, torn.find('\xa9')));
    AuditLog log(clock_);
    ASSERT_EQ(log.today().size(), 1u);
    EXPECT_EQ(log.recent(1).size(), 1u);
    ASSERT_TRUE(log.exportCSV());
    EXPECT_EQ(home_.read("Desktop/vorla-agents-audit.csv"),
              "timestamp,agent,project,event,tool,risk,detail\n"
              "2026-01-15T07:00:00Z,claude,app,tool,Bash,-1,\"npm test\"");
}

TEST_F(AuditLogTest, TodayIsCappedButTheFileKeepsEverything) {
    AuditLog log(clock_);
    for (int i = 0; i < 501; ++i) {
        AuditEntry e = entry("2026-01-15T08:00:00Z", "tool");
        e.sessionID = "s" + std::to_string(i);
        log.record(e);
    }
    ASSERT_EQ(log.today().size(), AuditLog::kTodayLimit);
    EXPECT_EQ(log.today().front().sessionID, "s500");
    EXPECT_EQ(log.today().back().sessionID, "s1");
    EXPECT_EQ(lineCount("2026-01-15"), 501u);
}

TEST_F(AuditLogTest, RecentReadsWholeDayStepsNewestFirst) {
    AuditLog log(clock_);
    log.record(entry("2026-01-13T10:00:00Z", "approved"));  // two days back
    log.record(entry("2026-01-15T06:00:00Z", "tool"));
    AuditEntry tieA = entry("2026-01-14T10:00:00Z", "approved");
    AuditEntry tieB = tieA;
    tieB.sessionID = "s2";
    log.record(tieA);
    log.record(tieB);
    log.record(entry("2026-01-10T10:00:00Z", "denied"));  // outside a 3-day window

    EXPECT_TRUE(log.recent(0).empty());
    ASSERT_EQ(log.recent(1).size(), 1u);  // only the current day's file
    auto three = log.recent(3);
    ASSERT_EQ(three.size(), 4u);
    EXPECT_EQ(three[0].ts, at("2026-01-15T06:00:00Z"));
    EXPECT_EQ(three[1].sessionID, "s1");  // equal stamps keep file order
    EXPECT_EQ(three[2].sessionID, "s2");
    EXPECT_EQ(three[3].ts, at("2026-01-13T10:00:00Z"));
}

TEST_F(AuditLogTest, ExportWritesEveryDayInOrderWithQuoting) {
    AuditLog log(clock_);
    EXPECT_EQ(log.exportCSV(), home_.path() + "/Desktop/vorla-agents-audit.csv");
    EXPECT_EQ(home_.read("Desktop/vorla-agents-audit.csv"),
              "timestamp,agent,project,event,tool,risk,detail");

    log.record(entry("2026-01-15T08:00:00Z", "approved", 3, "claude", R"(echo "a, b" "c")"));
    log.record(entry("2026-01-13T10:00:00Z", "tool", std::nullopt, "my,agent", ""));
    // Cells a spreadsheet would run as formulas are written as text.
    log.record(entry("2026-01-13T10:00:01Z", "tool", std::nullopt, "=cmd", "=HYPERLINK(\"x\")"));
    log.record(entry("2026-01-13T10:00:02Z", "tool", std::nullopt, "@a", "+cmd|' /C calc'!A0"));
    log.record(entry("2026-01-13T10:00:03Z", "tool", std::nullopt, "a", "-1+1"));
    log.record(entry("2026-01-13T10:00:04Z", "tool", std::nullopt, "a", "\tx"));
    home_.write(".vorla-agents/audit/notes.txt", "ignored");
    home_.write(".config/user-dirs.dirs",
                "# written by xdg-user-dirs-update\n"
                "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    EXPECT_EQ(log.exportCSV(), home_.path() + "/Schreibtisch/vorla-agents-audit.csv");
    EXPECT_EQ(home_.read("Schreibtisch/vorla-agents-audit.csv"),
              "timestamp,agent,project,event,tool,risk,detail\n"
              "2026-01-13T10:00:00Z,\"my,agent\",app,tool,Bash,-1,\"\"\n"
              "2026-01-13T10:00:01Z,'=cmd,app,tool,Bash,-1,\"'=HYPERLINK(\"\"x\"\")\"\n"
              "2026-01-13T10:00:02Z,'@a,app,tool,Bash,-1,\"'+cmd|' /C calc'!A0\"\n"
              "2026-01-13T10:00:03Z,a,app,tool,Bash,-1,\"'-1+1\"\n"
              "2026-01-13T10:00:04Z,a,app,tool,Bash,-1,\"'\tx\"\n"
              "2026-01-15T08:00:00Z,claude,app,approved,Bash,3,\"echo \"\"a, b\"\" \"\"c\"\"\"");

    // A desktop that cannot be written to is a failure, not a saved file.
    std::filesystem::remove_all(home_.file("Schreibtisch"));
    home_.write("Schreibtisch", "a file, not a folder");
    EXPECT_EQ(log.exportCSV().error().message,
              "Could not save vorla-agents-audit.csv to your Desktop.");
}

TEST_F(AuditLogTest, ScoreboardAndClicksCountTodayByKind) {
    AuditLog log(clock_);
    log.record(entry("2026-01-15T08:00:00Z", "approved", 0, "codex"));
    log.record(entry("2026-01-15T08:00:01Z", "auto-allowed", 0, "codex"));
    log.record(entry("2026-01-15T08:00:02Z", "auto-denied", 3, "codex"));
    log.record(entry("2026-01-15T08:00:03Z", "tool", 3, "claude"));
    log.record(entry("2026-01-15T08:00:04Z", "tool", std::nullopt, "claude"));
    log.record(entry("2026-01-15T08:00:05Z", "custom", 2, "pi"));

    auto scores = log.scoreboard();
    ASSERT_EQ(scores.size(), 3u);
    EXPECT_EQ(scores[0], (AuditLog::Score{"claude", "Claude Code", 2, 0, 0, 0, 1}));
    EXPECT_EQ(scores[1], (AuditLog::Score{"pi", "pi", 0, 0, 0, 0, 1}));
    EXPECT_EQ(scores[2], (AuditLog::Score{"codex", "Codex", 0, 2, 1, 1, 1}));
    EXPECT_EQ(scores[2].trustPercent(), 66);
    EXPECT_EQ(scores[0].trustPercent(), 100);
    EXPECT_EQ(log.clicksSaved(), 2);
}

}  // namespace
}  // namespace vorla
