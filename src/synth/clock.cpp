// The presentation clock over the audio play position.
#include "synth/clock.h"

#include "synth/audio_output.h"
#include "synth/song.h"
#include "synth/song_clock.h"

namespace {

struct ClockParameters {
    int32_t ticksPerBeat;
    int32_t tempo;
    float ticksPerSecond;
    int32_t lengthFrames;
};

ClockParameters clockParameters;

} // namespace

void configureClock(const SongHeader& header) {
    setClockTicksPerBeat(kClockTicksPerBeat);
    setClockTempo(static_cast<int32_t>(header.tempo));
    updateClockTicksPerSecond();
    setClockLength(header.lengthSamples);
}

void setClockTicksPerBeat(int32_t ticksPerBeat) {
    clockParameters.ticksPerBeat = ticksPerBeat;
}

void setClockTempo(int32_t beatsPerMinute) {
    clockParameters.tempo = beatsPerMinute;
}

void updateClockTicksPerSecond() {
    // Each product is rounded to single precision in this order; the result is 0x41855556 for
    // the built-in values, not the nearest float to 16 2/3.
    const float beatsPerSecond = static_cast<float>(clockParameters.tempo) * kPerMinute;
    clockParameters.ticksPerSecond = beatsPerSecond * static_cast<float>(clockParameters.ticksPerBeat);
}

void setClockLength(int32_t frames) {
    clockParameters.lengthFrames = frames;
}

float clockTicksPerSecond() {
    return clockParameters.ticksPerSecond;
}

float playPositionSeconds() {
    return static_cast<float>(audioPlayPosition()) * kSecondsPerFrame;
}

float musicTime() {
    return playPositionSeconds() * clockParameters.ticksPerSecond + kClockOffset;
}

float musicLength() {
    const float seconds = static_cast<float>(clockParameters.lengthFrames) * kSecondsPerFrame;
    return seconds * clockParameters.ticksPerSecond;
}
