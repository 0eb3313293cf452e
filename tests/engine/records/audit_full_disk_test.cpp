// The audit log on a disk that fills up: a line the disk cannot take whole is
// not left behind in part, earlier lines stay as they were, the entry stays in
// memory, and appending works again once there is room.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/records/audit_log.h"
#include "engine/support/calendar.h"
#include "support/manual_clock.h"
#include "support/scoped_env.h"
#include "support/scoped_tmpfs.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class AuditFullDiskTest : public ::testing::Test {
  protected:
    AuditEntry entry(std::size_t detailBytes) {
        return AuditEntry{clock_.now(),
                          "claude",
                          "s1",
                          "app",
                          AuditKind::tool,
                          "Bash",
                          std::string(detailBytes, 'd'),
                          1};
    }
    std::string dayFile() const { return disk_.dir() + "/2026-01-15.jsonl"; }

    test::ScopedEnv zone_{"TZ", "UTC"};
    test::TempHome home_;
    test::ScopedTmpfs disk_{home_.file("audit"), 64 * 1024};
    test::ManualClock clock_{*parseISO8601("2026-01-15T09:00:00Z")};
};

TEST_F(AuditFullDiskTest, AFullDiskLeavesNoPartOfALineAndTheNextAppendSucceeds) {
    if (!disk_.mounted()) {
        GTEST_SKIP() << disk_.reason();
    }
    AuditLog log(clock_, disk_.dir());
    log.record(entry(10));
    const std::string before = readAll(dayFile());
    ASSERT_FALSE(before.empty());

    disk_.fill();
    // Lines of 1.5 KB: one of them must cross into a page the disk no longer has.
    for (int i = 0; i < 8; ++i) {
        log.record(entry(1500));
    }
    const std::string during = readAll(dayFile());
    EXPECT_TRUE(during.starts_with(before));
    EXPECT_EQ(during.back(), '\n');
    std::size_t decoded = 0;
    decodeAuditLines(during, [&](AuditEntry&&) { ++decoded; });
    EXPECT_EQ(decoded, static_cast<std::size_t>(std::count(during.begin(), during.end(), '\n')));
    EXPECT_EQ(log.today().size(), 9u);

    disk_.drain();
    log.record(entry(20));
    const std::string after = readAll(dayFile());
    EXPECT_TRUE(after.starts_with(during));
    EXPECT_EQ(after.substr(during.size()), encodeAuditLine(entry(20)) + "\n");
}

}  // namespace
}  // namespace vorla
