#include "engine/session/state_snapshot.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "store_fixture.h"

namespace vorla::test {
namespace {

using SnapshotTest = StoreTest;

TEST_F(SnapshotTest, EmptyStoreWritesEmptyListsWithTheCurrentTime) {
    store.emitState();
    auto text = home.read(".vorla-agents/run/state.json");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->find('\n'), std::string::npos);  // compact
    auto json = nlohmann::json::parse(*text);
    EXPECT_EQ(json.size(), 3u);
    EXPECT_DOUBLE_EQ(double(json["ts"]), toEpochSeconds(clock.now()));
    EXPECT_EQ(json["sessions"], nlohmann::json::array());
    EXPECT_EQ(json["pending"], nlohmann::json::array());
    struct stat info {};
    ASSERT_EQ(::stat(home.file(".vorla-agents/run/state.json").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(SnapshotTest, AnUnwritableRunFolderIsIgnoredAndTheNextWriteSucceeds) {
    home.write(".vorla-agents/run", "a file where the folder should be");
    send({.kind = Canonical::sessionStart});
    EXPECT_EQ(store.sessions().size(), 1u);  // the store carries on
    std::filesystem::remove(home.file(".vorla-agents/run"));
    store.refreshContext();
    EXPECT_EQ(snapshot()["sessions"].size(), 1u);
}

}  // namespace
}  // namespace vorla::test
