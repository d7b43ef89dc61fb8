// How every tool reads and writes files: inputs bounded and never waited on, outputs whole or not
// at all, through links, with long names, over stale temporaries and a write that fails.
#include "shared/input_file.h"
#include "shared/output_file.h"
#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

namespace {

TEST(InputFile, ReadsRegularFilesWithinTheLimitAndRefusesTheRest) {
    ScratchFolder folder;
    ASSERT_TRUE(writeTextFile(folder / "ten", "0123456789"));
    ASSERT_TRUE(writeTextFile(folder / "eleven", "0123456789a"));
    ASSERT_TRUE(writeTextFile(folder / "empty", ""));
    ASSERT_EQ(symlink("ten", (folder / "link").c_str()), 0);
    ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0644), 0);
    ASSERT_EQ(mkdir((folder / "dir").c_str(), 0755), 0);
    const struct {
        std::string path, problem, bytes;
    } rows[] = {
        {folder / "ten", "", "0123456789"}, // exactly the limit
        {folder / "link", "", "0123456789"},
        {folder / "empty", "", ""},
        {folder / "eleven", "it is larger than 10 bytes, the most an input may hold", ""},
        {folder / "missing", "no such file", ""},
        {folder / "dir", "it is a folder", ""},
        // Opening a FIFO for reading would wait for a writer that never comes.
        {folder / "fifo", "it is a FIFO (named pipe), not a regular file", ""},
        {"/dev/zero", "it is a device, not a regular file", ""},
    };
    for (const auto& row : rows) {
        std::string bytes = "stale";
        EXPECT_EQ(readInputFile(row.path.c_str(), &bytes, 10), row.problem) << row.path;
        EXPECT_EQ(bytes, row.bytes) << row.path;
    }
    std::string bytes;
    EXPECT_EQ(readInputFile((folder / "eleven").c_str(), &bytes), "");
    EXPECT_EQ(kInputFileLimit, size_t(4) << 20);
}

TEST(InputFile, SameFileSeesThroughLinksAndExtensionsIgnoreCase) {
    ScratchFolder folder;
    ASSERT_TRUE(writeTextFile(folder / "a", "x"));
    ASSERT_TRUE(writeTextFile(folder / "b", "x"));
    ASSERT_EQ(symlink("a", (folder / "soft").c_str()), 0);
    ASSERT_EQ(link((folder / "a").c_str(), (folder / "hard").c_str()), 0);
    EXPECT_TRUE(sameFile((folder / "a").c_str(), (folder / "soft").c_str()));
    EXPECT_TRUE(sameFile((folder / "a").c_str(), (folder / "hard").c_str()));
    EXPECT_FALSE(sameFile((folder / "a").c_str(), (folder / "b").c_str()));
    EXPECT_FALSE(sameFile((folder / "missing").c_str(), (folder / "missing").c_str()));
    EXPECT_TRUE(hasExtension("x.WaV", ".wav"));
    EXPECT_FALSE(hasExtension(".wav", ".wav")) << "a name that is only the extension";
    EXPECT_FALSE(hasExtension("x.wav.part", ".wav"));
}

std::string writeThrough(const std::string& path, const std::string& bytes) {
    return writeOutputFile(path.c_str(), bytes.data(), bytes.size());
}

bool isLink(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

TEST(OutputFile, LinksAreFollowedAndKept) {
    ScratchFolder folder;
    ASSERT_TRUE(writeTextFile(folder / "real.wav", "old"));
    ASSERT_EQ(mkdir((folder / "sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink("real.wav", (folder / "link.wav").c_str()), 0);
    ASSERT_EQ(symlink("link.wav", (folder / "chain.wav").c_str()), 0);
    ASSERT_EQ(symlink("sub/made.wav", (folder / "dangling.wav").c_str()), 0);
    ASSERT_EQ(symlink("sub", (folder / "folder.wav").c_str()), 0);
    ASSERT_EQ(symlink("loop2.wav", (folder / "loop1.wav").c_str()), 0);
    ASSERT_EQ(symlink("loop1.wav", (folder / "loop2.wav").c_str()), 0);
    const struct {
        std::string written, problem, landed;
    } rows[] = {
        {"link.wav", "", "real.wav"},
        {"chain.wav", "", "real.wav"},
        {"dangling.wav", "", "sub/made.wav"},
        {"folder.wav", "it is a folder", ""},
        {"loop1.wav", "its symbolic links go round in a loop", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(writeThrough(folder / row.written, row.written), row.problem) << row.written;
        if (!row.landed.empty()) {
            EXPECT_EQ(readTextFile(folder / row.landed), row.written);
        }
        EXPECT_TRUE(isLink(folder / row.written)) << row.written << " is no longer a link";
    }
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"chain.wav", "dangling.wav", "folder.wav", "link.wav",
                                                        "loop1.wav", "loop2.wav", "real.wav", "sub"}));
}

TEST(OutputFile, NamesUpToTheSystemsLimitAndPermissionsKept) {
    ScratchFolder folder;
    const std::string longest(251, 'n'), tooLong(252, 'n');
    EXPECT_EQ(writeThrough(folder / (longest + ".wav"), "255 bytes"), "");
    EXPECT_EQ(readTextFile(folder / (longest + ".wav")), "255 bytes");
    EXPECT_EQ(writeThrough(folder / (tooLong + ".wav"), "256 bytes"), "its name is longer than 255 bytes");

    ASSERT_TRUE(writeTextFile(folder / "private.wav", "old"));
    ASSERT_EQ(chmod((folder / "private.wav").c_str(), 0600), 0);
    EXPECT_EQ(writeThrough(folder / "private.wav", "new"), "");
    struct stat info {};
    ASSERT_EQ(stat((folder / "private.wav").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{longest + ".wav", "private.wav"}));
}

TEST(OutputFile, TemporariesOfWritersThatNoLongerRunAreRemoved) {
    ScratchFolder folder;
    // Process ids above the kernel's largest (4,194,304) never run; the parent of this test does.
    const std::string running = std::to_string(getppid());
    const std::vector<std::string> kept = {".out.wav." + running + "-0.part", ".out.wav.12x-0.part",
                                           ".out.wav.999999999-0.partial", ".other.wav.999999999-0.part",
                                           "out.wav"};
    for (const std::string& name : kept) ASSERT_TRUE(writeTextFile(folder / name, "x"));
    for (const char* stale : {".out.wav.999999999-0.part", ".out.wav.999999998-12.part"})
        ASSERT_TRUE(writeTextFile(folder / stale, "x"));
    EXPECT_EQ(writeThrough(folder / "out.wav", "new"), "");
    std::vector<std::string> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.names(), expected);

    // A long name's temporaries are cut to fit; they are found again all the same.
    const std::string name(255, 'l');
    const std::string stale = "." + name.substr(0, 224) + ".999999999-0.part";
    ASSERT_TRUE(writeTextFile(folder / stale, "x"));
    EXPECT_EQ(writeThrough(folder / name, "new"), "");
    EXPECT_EQ(access((folder / stale).c_str(), F_OK), -1);
}

// A write that fails half way (here the file size limit; a full disk is the same to the tool):
// the cause comes back, and neither a partial file nor the temporary is left.
TEST(OutputFile, FailedWriteLeavesTheTargetAsItWas) {
    ScratchFolder folder;
    ASSERT_TRUE(writeTextFile(folder / "out.pgm", "kept"));
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string failure = writeThrough(folder / "out.pgm", std::string(5000, 'x'));
        _exit(failure == "File too large" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the cause was not passed on";
    EXPECT_EQ(readTextFile(folder / "out.pgm"), "kept");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"out.pgm"});
}

} // namespace
