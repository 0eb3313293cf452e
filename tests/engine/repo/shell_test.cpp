#include "engine/repo/shell.h"

#include <gtest/gtest.h>

#include <chrono>

#include "support/eventually.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

using std::chrono::steady_clock;

double secondsSince(steady_clock::time_point start) {
    return std::chrono::duration<double>(steady_clock::now() - start).count();
}

TEST(Shell, OutputLargerThanAPipeArrivesWholeWithoutWaitingForTheLimit) {
    auto start = steady_clock::now();
    Shell::Outcome result =
        Shell::execute("/usr/bin/head", {"-c", "3000000", "/dev/zero"}, std::nullopt, 5.0);
    EXPECT_LT(secondsSince(start), 4.0);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.output.size(), 3000000u);
}

// A child that ignores the termination signal is killed instead.
TEST(Shell, ChildOutlivingTheLimitIsStoppedAndKeepsItsPartialOutput) {
    for (std::string script :
         {"echo partial; exec sleep 30", "trap '' TERM; echo partial; exec sleep 30"}) {
        auto start = steady_clock::now();
        Shell::Outcome result = Shell::execute("/bin/sh", {"-c", script}, std::nullopt, 0.3);
        EXPECT_LT(secondsSince(start), 5.0) << script;
        EXPECT_TRUE(result.timedOut);
        EXPECT_EQ(result.output, "partial\n");
    }
}

TEST(Shell, GrandchildHoldingTheOutputOpenDoesNotHoldUpTheCaller) {
    auto start = steady_clock::now();
    Shell::Outcome result =
        Shell::execute("/bin/sh", {"-c", "sleep 3 & echo done"}, std::nullopt, 10.0);
    EXPECT_LT(secondsSince(start), 2.5);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.output, "done\n");
}

TEST(Shell, RunsInTheGivenDirectoryAndReportsStartFailuresAsEmptyOutput) {
    test::TempHome home;
    EXPECT_EQ(Shell::run("/bin/pwd", {}, home.path(), 5.0), home.path() + "\n");

    Shell::Outcome missing = Shell::execute("/no/such/program", {}, std::nullopt, 5.0);
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.output, "");

    Shell::Outcome badDirectory = Shell::execute("/bin/pwd", {}, home.file("absent"), 5.0);
    EXPECT_FALSE(badDirectory.started);
    EXPECT_EQ(Shell::run("/bin/pwd", {}, home.file("absent"), 5.0), "");
}

TEST(Shell, OutputThatIsNotUtf8ReadsAsEmptyText) {
    EXPECT_EQ(Shell::run("/usr/bin/printf", {"ok\\377"}, std::nullopt, 5.0), "");
    EXPECT_EQ(Shell::run("/usr/bin/printf", {"caf\\303\\251"}, std::nullopt, 5.0), "café");
    EXPECT_EQ(Shell::execute("/bin/sh", {"-c", "exit 3"}, std::nullopt, 5.0).exitStatus, 3);
}

// launch() returns while the program still waits for the test's go-ahead, and
// hands it its arguments as they are, shell characters and all.
TEST(Shell, LaunchReturnsAtOnceAndPassesArgumentsUntouched) {
    test::TempHome home;
    const std::string script =
        "while [ ! -e \"$3\" ]; do sleep 0.01; done; printf %s \"$1\" > \"$2\"";
    const std::string argument = "$(echo hi) `echo hi`; * \"'";
    ASSERT_TRUE(
        Shell::launch("sh", {"-c", script, "sh", argument, home.file("out"), home.file("go")}));
    EXPECT_FALSE(home.read("out"));
    home.write("go", "");
    ASSERT_TRUE(test::eventually([&] { return home.read("out") == argument; }));
}

}  // namespace
}  // namespace vorla
