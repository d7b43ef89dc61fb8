// The sample bank: conversion to doubled stereo frames and a missing bank.
#include "bank_blocks.h"
#include "base/memory.h"
#include "platform/platform.h"
#include "synth/sample_bank.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class SampleBankTest : public ::testing::Test {
  protected:
    void TearDown() override {
        releaseSampleBank();
        resetPlatformServices();
    }
};

TEST_F(SampleBankTest, SixByteBlockGivesSixDoubledFrames) {
    std::vector<uint8_t> file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'D', 'L', 'S', ' '};
    appendDataBlock(file, {-32768, 16384, 32767});
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
        appendDataBlock(file, {1, 2});
        appendDataBlock(file, {3});
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

} // namespace
