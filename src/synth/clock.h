// The presentation clock: the audio play position in clock ticks (eighths of a beat).
#pragma once

#include <bit>
#include <cstdint>

struct SongHeader;

// 1/60 in single precision, ~0.016666668: beats per minute to beats per second.
constexpr float kPerMinute = std::bit_cast<float>(0x3C888889u);
// 1/44100 in single precision, ~2.2675737e-05: sample frames to seconds.
constexpr float kSecondsPerFrame = std::bit_cast<float>(0x37BE37C6u);
// Added to every reading of the clock.
constexpr float kClockOffset = 0.005f;

// Sets the clock from the song: kClockTicksPerBeat ticks a beat at the header's tempo (in whole
// beats a minute), the header's length; the four calls below in their order.
void configureClock(const SongHeader& header);
// The clock's parameters, in the order start-up sets them.
void setClockTicksPerBeat(int32_t ticksPerBeat);
void setClockTempo(int32_t beatsPerMinute);
// Recomputes the clock ticks per second from the two values above, in single precision.
void updateClockTicksPerSecond();
void setClockLength(int32_t frames);

// Clock ticks per second (16.666668 for 8 ticks per beat at 125 beats per minute).
float clockTicksPerSecond();
// The play position in seconds: the audio position in frames times 1/44100.
float playPositionSeconds();
// The presentation time in clock ticks.
float musicTime();
// The presentation time when the play position is `frames`, as musicTime computes it.
float clockTimeAtFrame(uint32_t frames);
// The first play position whose clock time is at or after `time` (0 for times before the first).
uint32_t clockFrameAtTime(float time);
// The song length in clock ticks; the show ends two ticks before it.
float musicLength();
