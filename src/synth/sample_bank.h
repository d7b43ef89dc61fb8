// The sample bank: every 16-bit PCM block of the General MIDI sound bank as stereo frames.
#pragma once

#include "synth/stereo.h"

#include <cstddef>
#include <cstdint>

inline constexpr uint32_t kSampleBankRoom = 512;
// The most bytes of the sound bank file that are read.
inline constexpr size_t kSoundBankReadLimit = 10485759;

// Waves numbered in the order their "data" tags appear in the file.
struct SampleBank {
    uint32_t length[kSampleBankRoom]; // stated byte count, which is also the frame count
    Stereo* frames[kSampleBankRoom];  // memAlloc blocks; null for an empty wave
    uint32_t count;
};

const SampleBank& sampleBank();

// Scans `bytes` for "data" blocks and converts each into frames: every signed 16-bit sample,
// divided by 32768, becomes two identical frames of equal lanes. A block whose stated length
// runs past the bytes is cut to them; blocks past the 512th are ignored.
void loadSampleBank(const uint8_t* bytes, size_t size);
// Loads the system's sound bank through the platform; a missing bank leaves the bank empty.
void loadSystemSampleBank();
void releaseSampleBank();
// One line for people: the file the bank was loaded from and its wave count, or that no bank
// was found. The text lives until the next call.
const char* sampleBankSummary();

struct SampleWave {
    double length;        // frames; 0 when the wave does not exist
    const Stereo* frames; // null when length is 0
};
SampleWave sampleWave(int32_t number);
