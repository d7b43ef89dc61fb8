// The file watch on a temporary folder: what an editor's saves look like to it.
#include "platform/file_watch.h"
#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Seen {
    std::vector<std::pair<int32_t, std::string>> changes;
};

void record(void* context, int32_t folder, const char* name) {
    static_cast<Seen*>(context)->changes.push_back({folder, name});
}

class FileWatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string a = root + "/a", b = root + "/b", missing = root + "/missing";
        ASSERT_EQ(mkdir(a.c_str(), 0700), 0);
        ASSERT_EQ(mkdir(b.c_str(), 0700), 0);
        const char* folders[] = {a.c_str(), missing.c_str(), b.c_str()};
        watch = fileWatchServices()->openFileWatch(folders, 3);
        ASSERT_NE(watch, nullptr);
    }
    void TearDown() override { fileWatchServices()->closeFileWatch(watch); }
    // The changes noticed so far, without waiting.
    std::vector<std::pair<int32_t, std::string>> poll() {
        Seen seen;
        const int32_t count = fileWatchServices()->pollFileWatch(watch, record, &seen);
        EXPECT_EQ(size_t(count), seen.changes.size());
        return seen.changes;
    }
    ScratchFolder folder;
    const std::string root = folder.path;
    FileWatch* watch = nullptr;
};

TEST_F(FileWatchTest, SeesWritesRenamesAndDeletionsInEachFolder) {
    EXPECT_TRUE(poll().empty());
    ASSERT_TRUE(writeTextFile(root + "/a/scene1.glsl", "one"));
    // Created, then closed after writing: both name the file in folder 0.
    for (const auto& [folder, name] : poll()) {
        EXPECT_EQ(folder, 0);
        EXPECT_EQ(name, "scene1.glsl");
    }
    // The editor's way: a new file renamed over the old one, in folder 2 (the missing one counts).
    ASSERT_TRUE(writeTextFile(root + "/b/.song.toml.swp", "two"));
    poll();
    ASSERT_EQ(rename((root + "/b/.song.toml.swp").c_str(), (root + "/b/song.toml").c_str()), 0);
    bool arrived = false;
    for (const auto& [folder, name] : poll()) arrived = arrived || (folder == 2 && name == "song.toml");
    EXPECT_TRUE(arrived);
    ASSERT_EQ(unlink((root + "/a/scene1.glsl").c_str()), 0);
    const auto deleted = poll();
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0].second, "scene1.glsl");
    EXPECT_TRUE(poll().empty()) << "each change is reported once";
}

TEST(FileWatch, NothingToWatchGivesNoWatch) {
    const char* folders[] = {"/nonexistent/quorlax-a", "/nonexistent/quorlax-b"};
    EXPECT_EQ(fileWatchServices()->openFileWatch(folders, 2), nullptr);
    fileWatchServices()->closeFileWatch(nullptr);
}

} // namespace
