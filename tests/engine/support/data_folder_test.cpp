#include "engine/support/data_folder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "core/unique_fd.h"
#include "engine/support/data_file.h"
#include "support/temp_home.h"

namespace vorla {
namespace {

// Tests run as root: "someone else" is a real other uid.
constexpr uid_t kOtherUser = 65534;

mode_t modeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST(DataFolder, CreatesWhatIsMissingPrivateAndTightensALooseFolderOfOurs) {
    test::TempHome home;
    const std::string root = home.file(".vorla-agents");
    ASSERT_TRUE(secureDataFolder(root));
    for (const char* folder : {"", "/run", "/data", "/audit"}) {
        EXPECT_EQ(modeOf(root + folder), 0700u) << folder;
    }
    EXPECT_FALSE(std::filesystem::exists(root + "/bin"));  // made when needed, not here

    ASSERT_EQ(::chmod((root + "/data").c_str(), 0777), 0);
    ASSERT_EQ(::mkdir((root + "/backups").c_str(), 0700), 0);
    ASSERT_EQ(::chmod((root + "/backups").c_str(), 0775), 0);
    ASSERT_TRUE(secureDataFolder(root));
    EXPECT_EQ(modeOf(root + "/data"), 0700u);
    EXPECT_EQ(modeOf(root + "/backups"), 0700u);
}

// Each way a folder can be someone else's is refused with one line that says
// which folder, what is wrong and what to do; nothing is changed.
TEST(DataFolder, RefusesAFolderItCannotTrust) {
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> plant;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"another user's",
         [](const std::string& path) {
             ASSERT_EQ(::mkdir(path.c_str(), 0777), 0);
             ASSERT_EQ(::chown(path.c_str(), kOtherUser, kOtherUser), 0);
         },
         "belongs to another user (uid 65534)"},
        {"a link", [](const std::string& path) { ASSERT_EQ(::symlink("/tmp", path.c_str()), 0); },
         "is a symbolic link"},
        {"a file",
         [](const std::string& path) { ASSERT_TRUE(UniqueFd(::creat(path.c_str(), 0600))); },
         "is not a folder"},
    };
    for (const Case& c : cases) {
        for (const char* where : {"", "/audit", "/backups"}) {
            test::TempHome home;
            const std::string root = home.file(".vorla-agents");
            if (*where != '\0') {
                ASSERT_EQ(::mkdir(root.c_str(), 0700), 0);
            }
            c.plant(root + where);
            auto secured = secureDataFolder(root);
            ASSERT_FALSE(secured) << c.name << where;
            const std::string& message = secured.error().message;
            EXPECT_NE(message.find(root + where + " " + c.says), std::string::npos) << message;
            EXPECT_NE(message.find("start again"), std::string::npos) << message;
            EXPECT_EQ(message.find('\n'), std::string::npos);
        }
    }
}

// rules.json, prefs.json and game.json are read through DataFile: a link
// planted in place of one is not read, and the next save replaces the link
// (kept aside) without touching the file it named.
TEST(DataFolder, DataFilesDoNotFollowALink) {
    test::TempHome home;
    home.write("theirs.json", R"([{"key":"Bash: rm -rf","behavior":"allow"}])");
    home.write(".vorla-agents/data/keep", "");
    const std::string rules = home.file(".vorla-agents/data/rules.json");
    ASSERT_EQ(::symlink(home.file("theirs.json").c_str(), rules.c_str()), 0);
    DataFile file(rules);
    EXPECT_FALSE(file.read());
    ASSERT_TRUE(file.write("[]"));
    EXPECT_EQ(home.read("theirs.json"), R"([{"key":"Bash: rm -rf","behavior":"allow"}])");
    EXPECT_EQ(home.read(".vorla-agents/data/rules.json"), "[]");
    struct stat info {};
    ASSERT_EQ(::lstat(rules.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
}

}  // namespace
}  // namespace vorla
