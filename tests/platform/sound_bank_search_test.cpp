// Where the Linux layer looks for the sound bank: only regular files with bytes count, nothing
// is waited on, and an unusable place hands the search on to the next one.
#include "base/memory.h"
#include "platform/platform.h"
#include "support/tool_run.h"
#include "synth/sample_bank.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

// Points every place the search looks at into a private folder, and puts the environment back.
class SoundBankSearchTest : public ::testing::Test {
  protected:
    static constexpr const char* kVariables[] = {"QUORLAX_GM_DLS", "XDG_DATA_HOME", "HOME", "WINEPREFIX"};

    void SetUp() override {
        for (size_t i = 0; i < std::size(kVariables); ++i)
            if (const char* value = std::getenv(kVariables[i])) saved[i] = value;
        fs::create_directories(dir / "data/quorlax");
        setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        setenv("HOME", dir.c_str(), 1);
        setenv("WINEPREFIX", (dir / "wine").c_str(), 1);
    }
    void TearDown() override {
        for (size_t i = 0; i < std::size(kVariables); ++i)
            if (saved[i])
                setenv(kVariables[i], saved[i]->c_str(), 1);
            else
                unsetenv(kVariables[i]);
    }
    static void write(const fs::path& path, const std::string& text) {
        ASSERT_TRUE(writeTextFile(path, text));
    }
    // The bytes the search returns and where it says it found them.
    std::pair<std::string, std::string> search() {
        size_t size = 0;
        void* data = platformServices()->readSoundBank(kSoundBankReadLimit, &size);
        std::string bytes = data ? std::string(static_cast<char*>(data), size) : "<none>";
        memFree(data);
        return {bytes, platformServices()->soundBankSource()};
    }

    ScratchFolder folder;
    const fs::path dir = folder.path;
    std::optional<std::string> saved[std::size(kVariables)];
};

TEST_F(SoundBankSearchTest, UnusableChosenBankFallsBackToTheUserBankWithoutWaiting) {
    enum Kind { Directory, Empty, Fifo, Missing, Regular };
    const struct {
        Kind kind;
        const char* expected;
    } cases[] = {{Directory, "user bank"},
                 {Empty, "user bank"},
                 {Fifo, "user bank"},
                 {Missing, "user bank"},
                 {Regular, "chosen"}};
    const fs::path user = dir / "data/quorlax/gm.dls";
    write(user, "user bank");
    alarm(20); // a search that blocks on the FIFO ends the test run instead of hanging it
    for (const auto& c : cases) {
        const fs::path chosen = dir / ("chosen" + std::to_string(c.kind));
        if (c.kind == Directory) fs::create_directory(chosen);
        if (c.kind == Empty) write(chosen, "");
        if (c.kind == Fifo) {
            ASSERT_EQ(mkfifo(chosen.c_str(), 0600), 0);
        }
        if (c.kind == Regular) write(chosen, "chosen");
        setenv("QUORLAX_GM_DLS", chosen.c_str(), 1);
        auto [bytes, source] = search();
        EXPECT_EQ(bytes, c.expected) << "case " << c.kind;
        EXPECT_EQ(source, c.kind == Regular ? chosen.string() : user.string()) << "case " << c.kind;
    }
    alarm(0);
}

TEST_F(SoundBankSearchTest, SummarySaysWhichBankWasLoadedOrThatNoneWasFound) {
    if (fs::exists("/usr/share/sounds/dls/gm.dls")) GTEST_SKIP() << "this machine has a system bank";
    unsetenv("QUORLAX_GM_DLS");
    write(dir / "data/quorlax/gm.dls", std::string("data\x04\0\0\0\x01\x02\x03\x04", 12));
    loadSystemSampleBank();
    EXPECT_EQ(std::string(sampleBankSummary()),
              "sound bank '" + (dir / "data/quorlax/gm.dls").string() + "' (1 wave)");
    releaseSampleBank();

    fs::remove(dir / "data/quorlax/gm.dls");
    loadSystemSampleBank();
    EXPECT_EQ(std::string(sampleBankSummary()).rfind("no sound bank found", 0), 0u);
}

} // namespace
