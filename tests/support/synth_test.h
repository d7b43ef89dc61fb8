// Test fixture for whole-synthesizer tests: prepares a built song and patch, renders on demand,
// keeps the system's sound bank out, and checks that everything taken is given back.
#pragma once

#include "support/synth_builder.h"
#include "synth/unit.h"

#include <gtest/gtest.h>

#include <vector>

class SynthTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Prepares the synthesizer with the song and patch (asserting success) and starts rendering.
    void prepare(const SongBuilder& song, const PatchBuilder& patch);
    // The next `frames` frames (interleaved left/right), rendered in whole sequencer ticks.
    std::vector<float> render(uint32_t frames);
    // The shared node built for a named record.
    UnitNode* node(const std::string& name) const;

    PatchBuilder built;
    std::vector<uint8_t> songBytes;
    std::vector<uint16_t> patchWords;
    int64_t blocksBefore = 0;
};

// Left channel of frame i.
inline float leftFrame(const std::vector<float>& frames, size_t i) {
    return frames[2 * i];
}
inline float rightFrame(const std::vector<float>& frames, size_t i) {
    return frames[2 * i + 1];
}
