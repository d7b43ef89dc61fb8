// The built-in soundtrack against the pictures: its accents on the white flashes of the
// fade track, and the first 40 seconds of its sound.
#include "framework/track_data.h"
#include "synth/builtin_song.h"
#include "synth/song.h"
#include "synth/synth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t kSamplesPerClockTick = 2646;
// Channels whose notes are drum hits, stabs or impacts.
constexpr int32_t kAccentChannels[] = {2, 3, 8, 12};

// Clock ticks where a flash starts: a fade key below 1 running linearly into a key of 1.
std::vector<int32_t> flashTicks() {
    const TrackSource* fade = &builtinTrack(showTrackIndex("fadetime"));
    std::vector<int32_t> ticks;
    for (int32_t i = 0; fade && i + 1 < fade->count; ++i)
        if (fade->times[i] > 0 && fade->values[i] < 1.0f && fade->modes[i] == 1 &&
            fade->values[i + 1] == 1.0f)
            ticks.push_back(fade->times[i]);
    return ticks;
}

struct NoteOn {
    int32_t channel;
    uint32_t tick; // sequencer tick
};

std::vector<NoteOn> builtNoteOns() {
    size_t size = 0;
    const uint8_t* bytes = builtinSongBytes(&size);
    std::vector<NoteOn> noteOns;
    DecodedSong decoded{};
    if (!decodeSong(bytes, size, &decoded)) return noteOns;
    const uint8_t* at = decoded.streams;
    for (uint32_t s = 0; s < decoded.streamCount; ++s) {
        const uint32_t word = readStreamWord(at);
        const uint32_t n = streamEventCount(word);
        for (uint32_t i = 0; i < n && streamKind(word) == kNoteOnStream; ++i)
            noteOns.push_back({streamChannel(word), eventTick(at + 4, n, i)});
        at += streamBytes(word);
    }
    releaseDecodedSong(&decoded);
    return noteOns;
}

TEST(Soundtrack, StrikesAnAccentOnEveryFlash) {
    const std::vector<int32_t> flashes = flashTicks();
    ASSERT_EQ(flashes.size(), 95u);
    const std::vector<NoteOn> noteOns = builtNoteOns();
    ASSERT_GT(noteOns.size(), 3000u);
    for (int32_t flash : flashes) {
        const double target = double(flash) * kSamplesPerClockTick / 64.0;
        bool hit = false;
        for (const NoteOn& on : noteOns)
            for (int32_t channel : kAccentChannels)
                // A position lands on the nearest tick: within half of one of the flash.
                hit = hit || (on.channel == channel && std::fabs(on.tick - target) <= 0.5);
        EXPECT_TRUE(hit) << "no accent at clock tick " << flash;
    }
}

// Mean square of both lanes over frames [first, first + count).
double energy(const std::vector<float>& frames, size_t first, size_t count) {
    double sum = 0.0;
    for (size_t i = 2 * first; i < 2 * (first + count); ++i) sum += double(frames[i]) * frames[i];
    return sum / double(2 * count);
}

TEST(Soundtrack, FirstFortySecondsAreCleanAndRiseOnEveryFlash) {
    constexpr uint32_t kFrames = 40 * 44100;
    std::vector<float> frames(2 * size_t(kFrames));
    size_t size = 0;
    const uint8_t* bytes = builtinSongBytes(&size);
    ASSERT_EQ(renderSong(bytes, size, builtinPatchWords(), frames.data(), kFrames), 1);
    releaseSynth();
    for (size_t i = 0; i < frames.size(); ++i) {
        ASSERT_TRUE(std::isfinite(frames[i])) << "sample " << i;
        ASSERT_LE(std::fabs(frames[i]), 1.0f) << "sample " << i;
    }
    // As loud as the mix was made: -17.8 dB mean square, within a decibel (scripts/soundcheck
    // measures the whole song against its targets).
    EXPECT_NEAR(10.0 * std::log10(energy(frames, 0, kFrames)), -17.8, 1.0);
    int32_t flashesInSpan = 0;
    for (int32_t flash : flashTicks()) {
        const size_t at = size_t(flash) * kSamplesPerClockTick;
        if (at + 4410 > kFrames) continue;
        ++flashesInSpan;
        const double before = energy(frames, at - 5292, 5292), after = energy(frames, at, 2646);
        EXPECT_GT(after, 1.5 * before) << "no rise at clock tick " << flash;
    }
    EXPECT_EQ(flashesInSpan, 28);
}

} // namespace
