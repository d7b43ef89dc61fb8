// WAV files: the header fields of the float format, the round trip, and files refused.
#include "shared/wav_file.h"
#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <limits>
#include <string>
#include <unistd.h>

namespace {

TEST(WavFileTest, WritesTheFloatStereoHeaderAndExactlyTheFramesAsked) {
    // Three frames in a buffer of four: the fourth must not be written.
    const float frames[8] = {0.5f,
                             -0.5f,
                             -0.0f,
                             std::numeric_limits<float>::denorm_min(),
                             std::numeric_limits<float>::infinity(),
                             std::bit_cast<float>(0x7FC01234u),
                             9.0f,
                             9.0f};
    ScratchFolder folder;
    const std::string path = folder / "three_frames.wav";
    ASSERT_TRUE(writeWavFile(path.c_str(), frames, 3));

    WavFile wav;
    ASSERT_EQ(readWavFile(path.c_str(), &wav), "");
    EXPECT_EQ(wav.formatTag, 3);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.sampleRate, 44100u);
    EXPECT_EQ(wav.byteRate, 352800u);
    EXPECT_EQ(wav.blockAlign, 8);
    EXPECT_EQ(wav.bitsPerSample, 32);
    EXPECT_EQ(wav.factFrames, 3u);
    EXPECT_EQ(wav.dataBytes, 24u);
    ASSERT_EQ(wav.samples.size(), 6u);
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(std::bit_cast<uint32_t>(wav.samples[i]), std::bit_cast<uint32_t>(frames[i])) << i;

    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    uint8_t bytes[kWavHeaderBytes + 24 + 1];
    EXPECT_EQ(std::fread(bytes, 1, sizeof bytes, file), kWavHeaderBytes + 24);
    std::fclose(file);
    EXPECT_EQ(std::memcmp(bytes, "RIFF", 4), 0);
    EXPECT_EQ(bytes[4] | bytes[5] << 8 | bytes[6] << 16 | bytes[7] << 24, int(kWavHeaderBytes + 24 - 8));
    EXPECT_EQ(std::memcmp(bytes + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(bytes[16], 18);                 // format chunk with the extension size
    EXPECT_EQ(bytes[36] | bytes[37] << 8, 0); // extension size 0
    EXPECT_EQ(std::memcmp(bytes + 38, "fact", 4), 0);
    EXPECT_EQ(std::memcmp(bytes + 50, "data", 4), 0);
}

TEST(WavFileTest, RejectsFilesThatAreNotWholeFloatWaves) {
    const float frames[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    ScratchFolder folder;
    const std::string path = folder / "cut.wav";
    ASSERT_TRUE(writeWavFile(path.c_str(), frames, 2));
    // Cut the last sample off: the sizes in the header no longer fit.
    ASSERT_EQ(truncate(path.c_str(), kWavHeaderBytes + 12), 0);
    WavFile wav;
    EXPECT_NE(readWavFile(path.c_str(), &wav), "");

    ASSERT_TRUE(writeTextFile(path, "RIFX not a wave"));
    EXPECT_EQ(readWavFile(path.c_str(), &wav), "not a RIFF WAVE file");
}

} // namespace
