// The sample bank: conversion to doubled stereo frames and a missing bank.
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

} // namespace
