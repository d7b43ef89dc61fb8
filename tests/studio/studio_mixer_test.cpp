// What the studio's device plays: silence while paused, the song from the playhead, silence where
// the render has not reached, a crossfade at a switch, and the playhead read back from the device.
#include "studio/studio_mixer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A song whose frame i is (i, -i), so every output names the frame it came from.
std::vector<float> rampSong(uint32_t frames, float scale) {
    std::vector<float> song(size_t(frames) * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        song[2 * i] = float(i) * scale;
        song[2 * i + 1] = -float(i) * scale;
    }
    return song;
}

std::vector<float> mix(StudioMixer* mixer, uint32_t frames, uint64_t cursor) {
    std::vector<float> out(size_t(frames) * 2, 99.0f);
    mixFrames(mixer, out.data(), frames, cursor);
    return out;
}

TEST(StudioMixer, PausedIsSilentAndKeepsItsPlace) {
    const std::vector<float> song = rampSong(100, 1.0f);
    StudioMixer mixer;
    mixerSwitch(&mixer, {song.data(), 100, nullptr}, 0);
    mixerSeek(&mixer, 40, false);
    for (float sample : mix(&mixer, 8, 0)) EXPECT_EQ(sample, 0.0f);
    mixerSeek(&mixer, 40, true);
    const std::vector<float> out = mix(&mixer, 3, 8);
    EXPECT_EQ(out, (std::vector<float>{40, -40, 41, -41, 42, -42}));
}

TEST(StudioMixer, FramesNotYetRenderedOrPastTheEndAreSilent) {
    const std::vector<float> song = rampSong(10, 1.0f);
    std::atomic<uint32_t> ready{6};
    StudioMixer mixer;
    mixerSwitch(&mixer, {song.data(), 10, &ready}, 0);
    mixerSeek(&mixer, 4, true);
    EXPECT_EQ(mix(&mixer, 4, 0), (std::vector<float>{4, -4, 5, -5, 0, 0, 0, 0}));
    ready = 10;
    EXPECT_EQ(mix(&mixer, 4, 4), (std::vector<float>{8, -8, 9, -9, 0, 0, 0, 0}));
}

TEST(StudioMixer, SwitchCrossfadesFromTheOldSongToTheNew) {
    const std::vector<float> oldSong = rampSong(100, 1.0f), newSong = rampSong(100, 3.0f);
    StudioMixer mixer;
    mixerSwitch(&mixer, {oldSong.data(), 100, nullptr}, 0);
    mixerSeek(&mixer, 20, true);
    mix(&mixer, 2, 0);
    mixerSwitch(&mixer, {newSong.data(), 100, nullptr}, 4);
    EXPECT_TRUE(mixerFading(&mixer));
    // Frame 22 at 1/8 new, 23 at 3/8, 24 at 5/8, 25 at 7/8, then the new song alone.
    const std::vector<float> out = mix(&mixer, 6, 2);
    const float expected[6] = {22 + 2 * 22 * 0.125f,
                               23 + 2 * 23 * 0.375f,
                               24 + 2 * 24 * 0.625f,
                               25 + 2 * 25 * 0.875f,
                               26 * 3,
                               27 * 3};
    for (int i = 0; i < 6; ++i) {
        EXPECT_FLOAT_EQ(out[2 * i], expected[i]) << i;
        EXPECT_FLOAT_EQ(out[2 * i + 1], -expected[i]) << i;
    }
    EXPECT_FALSE(mixerFading(&mixer)) << "the old buffer is no longer read";

    // Cut over at once: no fade.
    mixerSwitch(&mixer, {oldSong.data(), 100, nullptr}, 0);
    EXPECT_FALSE(mixerFading(&mixer));
    EXPECT_EQ(mix(&mixer, 1, 8), (std::vector<float>{28, -28}));
}

TEST(StudioMixer, PlayheadFollowsTheDevicePositionWithinTheLastChunk) {
    const std::vector<float> song = rampSong(5000, 1.0f);
    StudioMixer mixer;
    mixerSwitch(&mixer, {song.data(), 5000, nullptr}, 0);
    mixerSeek(&mixer, 1000, true);
    uint64_t frame = 0;
    EXPECT_FALSE(mixerPlayhead(&mixer, 0, &frame)) << "nothing played since the seek";
    mix(&mixer, 1024, 4096);
    const std::pair<int64_t, uint64_t> cases[] = {
        {4096, 1000}, {4100, 1004}, {5120, 2024}, {9000, 2024}, {10, 1000}};
    for (auto [position, expected] : cases) {
        ASSERT_TRUE(mixerPlayhead(&mixer, position, &frame));
        EXPECT_EQ(frame, expected) << position;
    }
    mixerSeek(&mixer, 3000, true);
    EXPECT_FALSE(mixerPlayhead(&mixer, 5120, &frame)) << "a chunk from before the seek";
    mixerSeek(&mixer, 3000, false);
    mix(&mixer, 1024, 5120);
    EXPECT_FALSE(mixerPlayhead(&mixer, 5200, &frame)) << "paused";
}

} // namespace
