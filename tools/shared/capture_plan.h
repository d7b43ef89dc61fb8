// The run of frames a capture draws before it reads the window back.
#pragma once

#include "framework/parameter_track.h"
#include "synth/song_clock.h"

#include <cstdint>

constexpr double kDefaultCaptureFramesPerSecond = 60.0;
// The screen shows the previous frame's picture after post-processing; eight frames also let the
// jittered, mipmapped feedback settle.
constexpr int32_t kMinimumWarmUpFrames = 8;
// Frames of the previous scene drawn first when the run starts inside the captured scene.
constexpr int32_t kHandOverFrames = 2;
constexpr int32_t kMaximumWarmUpFrames = 10000;

// The presentation time `offset` frames after `start` (before it when negative) on a clock that
// advances `ticksPerFrame` every frame. When `start` is itself a frame of that clock counted from
// time 0, the result is that clock's frame computed from its index, so the same moment comes out
// bit for bit whichever frame the count starts from: the frames of a video and the warm-up of a
// single-frame capture at one of them agree. Otherwise start + offset x ticksPerFrame.
float captureClockTime(float start, double ticksPerFrame, int64_t offset);

// Fills `times` with the presentation times of the frames to draw, in drawing order, the last one
// at `tick`: `warmUpFrames` frames `ticksPerFrame` apart (times before 0 are held at 0). When that
// run starts at or after the first tick of the scene the selector names at `tick`, the previous
// scene's last kHandOverFrames frames before that first tick come first, so a picture the previous
// scene hands over (attachment 2) is in place as in the show. Returns the count, or 0 when the
// arguments are out of range or `capacity` is too small.
int32_t planCaptureFrames(const ParameterTrack* sceneSelector, float tick, double ticksPerFrame,
                          int32_t warmUpFrames, float* times, int32_t capacity);
