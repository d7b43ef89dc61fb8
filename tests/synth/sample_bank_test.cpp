// The sample bank: the byte scan for "data", conversion to doubled stereo frames, the bounds.
#include "framework/memory.h"
#include "platform/platform.h"
#include "synth/sample_bank.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void appendU32(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void appendText(std::vector<uint8_t>& bytes, const char* text) {
    bytes.insert(bytes.end(), text, text + std::strlen(text));
}

void appendBlock(std::vector<uint8_t>& bytes, const std::vector<int16_t>& samples, uint32_t statedBytes) {
    appendText(bytes, "data");
    appendU32(bytes, statedBytes);
    for (int16_t s : samples) {
        bytes.push_back(static_cast<uint8_t>(s));
        bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
    }
}

class SampleBankTest : public ::testing::Test {
  protected:
    void TearDown() override {
        releaseSampleBank();
        resetPlatformServices();
    }
};

TEST_F(SampleBankTest, SixByteBlockGivesSixDoubledFrames) {
    std::vector<uint8_t> file;
    appendText(file, "RIFF....DLS ");
    appendBlock(file, {-32768, 16384, 32767}, 6);
    loadSampleBank(file.data(), file.size());
    ASSERT_EQ(sampleBank().count, 1u);
    SampleWave wave = sampleWave(0);
    ASSERT_EQ(wave.length, 6.0);
    const double expected[] = {-1.0, -1.0, 0.5, 0.5, 32767 / 32768.0, 32767 / 32768.0};
    for (int f = 0; f < 6; ++f) {
        EXPECT_EQ(leftOf(wave.frames[f]), expected[f]) << f;
        EXPECT_EQ(rightOf(wave.frames[f]), expected[f]) << f;
    }
}

// The search resumes one byte after a block's last converted sample, so the byte right after
// it is never looked at: blocks here are one byte apart.
TEST_F(SampleBankTest, BlocksOfLengthZeroAndOneConvertNothing) {
    std::vector<uint8_t> file;
    appendBlock(file, {}, 0);
    file.push_back(0);
    appendBlock(file, {}, 1);
    file.push_back(0x7F); // the odd byte of the second block, skipped
    file.push_back(0);
    appendBlock(file, {1000}, 2);
    loadSampleBank(file.data(), file.size());
    ASSERT_EQ(sampleBank().count, 3u);
    EXPECT_EQ(sampleBank().length[0], 0u);
    EXPECT_EQ(sampleWave(0).frames, nullptr);
    EXPECT_EQ(sampleBank().length[1], 1u);
    ASSERT_NE(sampleBank().frames[1], nullptr);
    EXPECT_EQ(leftOf(sampleBank().frames[1][0]), 0.0);
    EXPECT_EQ(leftOf(sampleWave(2).frames[1]), 1000 / 32768.0);
}

TEST_F(SampleBankTest, DataTextInsideAnotherChunkShiftsTheNumbering) {
    std::vector<uint8_t> file;
    appendText(file, "LISTINFOICMT");
    appendU32(file, 15);
    appendText(file, "metadata"); // followed by bytes that read as a block of length 2
    appendU32(file, 2);
    for (int i = 0; i < 3; ++i) file.push_back(0);
    appendBlock(file, {-16384, 8192}, 4);
    loadSampleBank(file.data(), file.size());
    // The text match is wave 0 (its "length" covers two zero bytes); the real block is wave 1.
    ASSERT_EQ(sampleBank().count, 2u);
    EXPECT_EQ(sampleBank().length[0], 2u);
    EXPECT_EQ(leftOf(sampleWave(0).frames[0]), 0.0);
    EXPECT_EQ(sampleBank().length[1], 4u);
    EXPECT_EQ(leftOf(sampleWave(1).frames[0]), -0.5);
    EXPECT_EQ(leftOf(sampleWave(1).frames[2]), 0.25);
}

TEST_F(SampleBankTest, ATagRightAfterABlockIsPassedOver) {
    std::vector<uint8_t> file;
    appendBlock(file, {5}, 2);
    appendBlock(file, {6}, 2); // starts on the byte the search skips
    file.push_back(0);
    appendBlock(file, {7}, 2);
    loadSampleBank(file.data(), file.size());
    ASSERT_EQ(sampleBank().count, 2u);
    EXPECT_EQ(leftOf(sampleWave(1).frames[0]), 7 / 32768.0);
}

TEST_F(SampleBankTest, StatedLengthPastTheEndStopsAtTheEnd) {
    std::vector<uint8_t> file;
    appendBlock(file, {100, 200, 300}, 0x7FFFFFF0);
    loadSampleBank(file.data(), file.size());
    ASSERT_EQ(sampleBank().count, 1u);
    SampleWave wave = sampleWave(0);
    EXPECT_EQ(wave.length, 6.0);
    EXPECT_EQ(leftOf(wave.frames[5]), 300 / 32768.0);
}

TEST_F(SampleBankTest, BlocksPastThe512thAreIgnored) {
    std::vector<uint8_t> file;
    for (int i = 0; i < 513; ++i) {
        appendBlock(file, {static_cast<int16_t>(i)}, 2);
        file.push_back(0);
    }
    loadSampleBank(file.data(), file.size());
    EXPECT_EQ(sampleBank().count, 512u);
    EXPECT_EQ(leftOf(sampleWave(511).frames[0]), 511 / 32768.0);
    EXPECT_EQ(sampleWave(512).length, 0.0);
    EXPECT_EQ(sampleWave(-1).frames, nullptr);
}

TEST_F(SampleBankTest, MissingSystemBankLeavesTheBankEmptyAndReleaseFreesAll) {
    int64_t before = memLiveBlocks();
    platformServices()->readSoundBank = [](size_t, size_t* size) -> void* {
        *size = 0;
        return nullptr;
    };
    loadSystemSampleBank();
    EXPECT_EQ(sampleBank().count, 0u);
    EXPECT_EQ(sampleWave(0).length, 0.0);

    platformServices()->readSoundBank = [](size_t limit, size_t* size) -> void* {
        EXPECT_EQ(limit, kSoundBankReadLimit);
        std::vector<uint8_t> file;
        appendBlock(file, {1, 2}, 4);
        file.push_back(0);
        appendBlock(file, {3}, 2);
        void* block = memAlloc(file.size());
        std::memcpy(block, file.data(), file.size());
        *size = file.size();
        return block;
    };
    loadSystemSampleBank();
    EXPECT_EQ(sampleBank().count, 2u);
    releaseSampleBank();
    EXPECT_EQ(memLiveBlocks(), before);
}

// The Linux service looks in the chosen file first, then the user's data directory.
TEST_F(SampleBankTest, LinuxLooksForTheBankInOrder) {
    std::string dir = ::testing::TempDir() + "quorlax_bank_" + std::to_string(getpid());
    std::string chosen = dir + "/chosen.dls";
    std::string userDir = dir + "/quorlax";
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(userDir.c_str(), 0700), 0);
    auto write = [](const std::string& path, const char* text) {
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(text, f);
        std::fclose(f);
    };
    write(chosen, "chosen bank");
    write(userDir + "/gm.dls", "user bank");
    setenv("XDG_DATA_HOME", dir.c_str(), 1);

    size_t size = 0;
    setenv("QUORLAX_GM_DLS", chosen.c_str(), 1);
    void* data = platformServices()->readSoundBank(6, &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(static_cast<char*>(data), size), "chosen");
    memFree(data);

    setenv("QUORLAX_GM_DLS", (dir + "/missing.dls").c_str(), 1);
    data = platformServices()->readSoundBank(kSoundBankReadLimit, &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(static_cast<char*>(data), size), "user bank");
    memFree(data);

    unsetenv("QUORLAX_GM_DLS");
    unsetenv("XDG_DATA_HOME");
    std::remove(chosen.c_str());
    std::remove((userDir + "/gm.dls").c_str());
    rmdir(userDir.c_str());
    rmdir(dir.c_str());
}

} // namespace
