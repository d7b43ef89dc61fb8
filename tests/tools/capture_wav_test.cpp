// quorlax-capture wav: the file it writes holds exactly the song's frames as the synthesizer
// renders them, and bad arguments or paths end with exit code 2.
#include "shared/wav_file.h"
#include "support/tool_run.h"
#include "synth/builtin_song.h"
#include "synth/synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <string>
#include <vector>

namespace {

std::vector<float> renderBuiltinSong(uint32_t frames) {
    size_t songBytes = 0;
    const uint8_t* song = builtinSongBytes(&songBytes);
    std::vector<float> out(2 * size_t(frames));
    EXPECT_EQ(renderSong(song, songBytes, builtinPatchWords(), out.data(), frames), 1);
    releaseSynth();
    return out;
}

TEST(CaptureWavTest, WritesTheWholeSongAsTheSynthesizerRendersIt) {
    ScratchFolder folder;
    const std::string path = folder / "song.wav";
    const ToolRun run = runCapture("wav " + path);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // The bank line on stderr and one summary line, no progress bar when stdout is not a terminal.
    EXPECT_EQ(run.output.find('\r'), std::string::npos) << run.output;
    EXPECT_EQ(run.output.rfind("quorlax-capture wav: ", 0), 0u) << run.output;
    EXPECT_NE(run.output.find("220.72 s of audio in"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("x real time\n"), std::string::npos) << run.output;
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 2) << run.output;

    WavFile wav;
    ASSERT_EQ(readWavFile(path.c_str(), &wav), "");
    // The format fields come from the writer, which the WAV file tests check.
    EXPECT_EQ(wav.factFrames, 9733716u);
    EXPECT_EQ(wav.dataBytes, 77869728u);
    ASSERT_EQ(wav.samples.size(), 2u * 9733716u);

    // The render is causal, so the song's first seconds rendered alone must match to the bit.
    constexpr uint32_t kCompared = 6 * 44100;
    const std::vector<float> expected = renderBuiltinSong(kCompared);
    size_t sounding = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(std::bit_cast<uint32_t>(wav.samples[i]), std::bit_cast<uint32_t>(expected[i])) << i;
        sounding += std::fabs(expected[i]) > 1e-3f;
    }
    // The song plays from its first tick on, so silence would mean the render went wrong.
    EXPECT_GT(sounding, expected.size() / 2);
}

TEST(CaptureWavTest, FramesOptionCutsTheSong) {
    ScratchFolder folder;
    const std::string path = folder / "cut.wav";
    const ToolRun run = runCapture("wav --frames 1000 " + path);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    WavFile wav;
    ASSERT_EQ(readWavFile(path.c_str(), &wav), "");
    EXPECT_EQ(wav.dataBytes, 8000u);
}

} // namespace
