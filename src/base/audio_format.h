// The one rate and channel count of every sound in the program.
#pragma once

#include <cstdint>

// The synthesizer renders and the device plays stereo frames at this rate.
constexpr uint32_t kAudioFrameRate = 44100;
constexpr uint32_t kAudioChannels = 2;
