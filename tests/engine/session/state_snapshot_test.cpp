#include "engine/session/state_snapshot.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "engine/session/snapshot_writer.h"
#include "store_fixture.h"

namespace vorla::test {
namespace {

using SnapshotTest = StoreTest;

TEST_F(SnapshotTest, EmptyStoreWritesEmptyListsWithTheCurrentTime) {
    store.emitState();
    store.flushState();
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

TEST_F(SnapshotTest, ABurstOfChangesIsWrittenOnceWithTheLatestState) {
    for (int i = 0; i < 50; ++i) {
        send({.kind = Canonical::sessionStart, .sessionID = "s" + std::to_string(i)});
    }
    EXPECT_EQ(queue.runPending(), 1u);  // one write for the burst
    EXPECT_EQ(snapshot()["sessions"].size(), 50u);
    EXPECT_EQ(queue.runPending(), 0u);  // and nothing left to write
}

TEST_F(SnapshotTest, TheRefreshRewritesOnlyAChangedMissingOrHeartbeatOldFile) {
    send({.kind = Canonical::sessionStart});
    const double first = snapshot()["ts"];
    auto ts = [&] {
        store.refreshContext();
        return double(snapshot()["ts"]);
    };
    clock.advance(std::chrono::seconds(2));
    EXPECT_EQ(ts(), first);  // nothing changed: the file stays as it was
    send({.kind = Canonical::sessionStart, .sessionID = "s2"});
    EXPECT_GT(ts(), first);  // a change is written
    const double changed = snapshot()["ts"];
    clock.advance(std::chrono::seconds(2));
    std::filesystem::remove(home.file(".vorla-agents/run/state.json"));
    EXPECT_GT(ts(), changed);  // a deleted file comes back
    const double restored = snapshot()["ts"];
    clock.advance(SnapshotWriter::kHeartbeat);
    EXPECT_GT(ts(), restored);  // and "ts" still advances now and then
}

TEST_F(SnapshotTest, AStoreGoneBeforeItsQueuedWriteLeavesItsLastStateInTheFile) {
    {
        SessionStore shortLived{queue, clock};
        shortLived.apply(makeEvent({.kind = Canonical::sessionStart, .sessionID = "last"}));
    }
    queue.runPending();  // the queued write finds the store gone and does nothing
    EXPECT_EQ(snapshot()["sessions"][0]["id"], "last");
}

}  // namespace
}  // namespace vorla::test
