// Runs single unit nodes outside a patch: inputs are held values the test sets, the sample
// counter advances as the render loop advances it, and the render thread's float mode is on.
#pragma once

#include "synth/float_mode.h"
#include "synth/graph.h"
#include "synth/patch.h"
#include "synth/synth_math.h"
#include "synth/unit_node.h"
#include "synth/unit_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

class UnitHarness {
  public:
    UnitHarness() {
        std::vector<uint16_t> words(kPatchWordCount, 0);
        EXPECT_EQ(initSynthGraph(words.data()), 1);
        resetNoise();
    }
    ~UnitHarness() { releaseSynthGraph(); }
    UnitHarness(const UnitHarness&) = delete;
    UnitHarness& operator=(const UnitHarness&) = delete;

    // A value source the test sets through its output.
    UnitNode* source(Stereo value) {
        UnitNode* node = createNode(static_cast<int32_t>(UnitType::Constant), 1, nextIndex++, kBuildShared);
        node->output = value;
        return node;
    }
    UnitNode* source(double value) { return source(stereo(value)); }

    // A node of the type with the given inputs (new sources for values) and parameter words.
    UnitNode* unit(UnitType type, std::initializer_list<UnitNode*> inputs, std::vector<uint16_t> words = {}) {
        UnitNode* node = createNode(static_cast<int32_t>(type), static_cast<int32_t>(inputs.size()),
                                    nextIndex++, kBuildShared);
        int32_t k = 0;
        for (UnitNode* in : inputs) node->inputs[k++] = in;
        params.push_back(words.empty() ? std::vector<uint16_t>{0} : std::move(words));
        node->params = params.back().data();
        return node;
    }

    // Evaluates the node for the current sample and moves to the next; returns its output.
    Stereo step(UnitNode* node) {
        node->tick(node);
        ++synthGraph().sampleCounter;
        return node->output;
    }
    // Skips to the next control step without evaluating anything.
    void skipToControlStep() {
        while ((synthGraph().sampleCounter & 15u) != 1u) ++synthGraph().sampleCounter;
    }

  private:
    FloatModeGuard floatMode;
    int32_t nextIndex = 0;
    std::vector<std::vector<uint16_t>> params;
};

// The noise generator's draws, computed independently of the synthesizer's.
struct NoiseReplica {
    uint32_t lane0 = 1, lane1 = 31337;
    Stereo next() {
        lane0 *= 16007u;
        lane1 *= 16007u;
        return stereo(static_cast<int32_t>(lane1) * 0x1p-31, static_cast<int32_t>(lane0) * 0x1p-31);
    }
};
