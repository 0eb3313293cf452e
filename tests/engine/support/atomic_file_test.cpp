#include "engine/support/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/scoped_tmpfs.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

// A failed replacement says why, keeps the old file and leaves no temporary
// file behind; the same write succeeds once the cause is gone.
TEST(AtomicFile, AFailedWriteSaysWhyAndKeepsTheOldFile) {
    test::TempHome home;
    test::ScopedTmpfs disk(home.file("disk"), 64 * 1024);
    if (!disk.mounted()) {
        GTEST_SKIP() << disk.reason();
    }
    const std::string path = disk.dir() + "/rules.json";
    ASSERT_TRUE(writeFileAtomically(path, "old", Durability::synced));
    disk.fill();
    auto full = writeFileAtomically(path, std::string(256 * 1024, 'x'), Durability::synced);
    ASSERT_FALSE(full);
    EXPECT_EQ(full.error().message, "No space left on device");
    EXPECT_EQ(home.read("disk/rules.json"), "old");
    disk.drain();
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& item : std::filesystem::directory_iterator(disk.dir())) {
        ++files;
    }
    EXPECT_EQ(files, 1U);  // no temporary file left over
    EXPECT_TRUE(writeFileAtomically(path, "new", Durability::synced));
    EXPECT_EQ(home.read("disk/rules.json"), "new");

    home.write("plain", "a file, not a folder");
    EXPECT_EQ(writeFileAtomically(home.file("plain/x.json"), "{}").error().message,
              "Not a directory");
}

}  // namespace
}  // namespace vorla
