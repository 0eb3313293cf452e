// One desktop app per user: a second start reaches the first over its socket,
// and gives up when the lock's holder does not listen.
#include "ui/desktop/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include <QCoreApplication>
#include <QTest>

#include "core/unique_fd.h"
#include "support/temp_home.h"

namespace vorla::ui::test {
namespace {

TEST(SingleInstance, ASecondStartHandsItsRequestToTheFirst) {
    vorla::test::TempHome home;
    const std::string runDir = home.file("run");
    SingleInstance first(runDir);
    std::vector<QByteArray> received;
    first.onRequest = [&](const QByteArray& request) { received.push_back(request); };
    ASSERT_TRUE(first.claim());

    SingleInstance second(runDir);
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(second.send(SingleInstance::kSettings));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !received.empty(); }, 5000));
    EXPECT_EQ(received, std::vector<QByteArray>{SingleInstance::kSettings});
}

// Another process holds the lock (a hung or half-started app) and nothing
// listens: the second start is told so in time instead of waiting forever.
TEST(SingleInstance, ALockHolderThatDoesNotListenIsReportedUnreachable) {
    vorla::test::TempHome home;
    const std::string runDir = home.file("run");
    home.write("run/desktop.sock", "");  // left behind, nobody behind it
    UniqueFd holder(
        ::open(home.file("run/desktop.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_TRUE(holder);
    ASSERT_EQ(::flock(holder.get(), LOCK_EX | LOCK_NB), 0);

    SingleInstance second(runDir);
    EXPECT_FALSE(second.claim());
    EXPECT_FALSE(second.send(SingleInstance::kSettings, 300));
}

}  // namespace
}  // namespace vorla::ui::test
