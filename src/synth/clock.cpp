// The presentation clock over the audio play position.
#include "synth/clock.h"

#include "platform/platform.h"
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
    return clockTimeAtFrame(audioPlayPosition());
}

float clockTimeAtFrame(uint32_t frames) {
    return static_cast<float>(frames) * kSecondsPerFrame * clockParameters.ticksPerSecond + kClockOffset;
}

uint32_t clockFrameAtTime(float time) {
    if (!(clockParameters.ticksPerSecond > 0.0f) || !(time > kClockOffset)) return 0;
    // The estimate is within a frame or two of the answer; the float steps settle it.
    const double estimate = (double(time) - kClockOffset) / clockParameters.ticksPerSecond * kAudioFrameRate;
    if (estimate >= double(UINT32_MAX)) return UINT32_MAX;
    uint32_t frame = static_cast<uint32_t>(estimate > 2.0 ? estimate - 2.0 : 0.0);
    while (frame < UINT32_MAX && clockTimeAtFrame(frame) < time) ++frame;
    while (frame > 0 && clockTimeAtFrame(frame - 1) >= time) --frame;
    return frame;
}

float musicLength() {
    const float seconds = static_cast<float>(clockParameters.lengthFrames) * kSecondsPerFrame;
    return seconds * clockParameters.ticksPerSecond;
}
