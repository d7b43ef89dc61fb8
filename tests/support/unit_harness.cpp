#include "support/unit_harness.h"

#include "synth/patch.h"
#include "synth/synth_math.h"

#include <cstdio>
#include <cstdlib>

UnitHarness::UnitHarness() {
    std::vector<uint16_t> emptyPatch(kPatchWordCount, 0);
    if (initSynthGraph(emptyPatch.data()) != 1) {
        std::fputs("unit harness: no memory for the graph\n", stderr);
        std::abort();
    }
    resetNoise();
}

UnitHarness::~UnitHarness() {
    releaseSynthGraph();
}

UnitNode* UnitHarness::probe(Stereo value) {
    UnitNode* node = createNode(static_cast<int32_t>(UnitType::Constant), 2, nextIndex++, kBuildShared);
    node->output = value;
    return node;
}

UnitNode* UnitHarness::unit(UnitType type, const std::vector<UnitNode*>& inputs,
                            const std::vector<uint16_t>& params) {
    UnitNode* node = createNode(static_cast<int32_t>(type), static_cast<int32_t>(inputs.size()), nextIndex++,
                                kBuildShared);
    for (size_t k = 0; k < inputs.size() && k < static_cast<size_t>(kUnitMaxInputs); ++k)
        node->inputs[k] = inputs[k];
    paramStore.push_back(params);
    paramStore.back().resize(4, 0); // room for any type's words
    node->params = paramStore.back().data();
    return node;
}

Stereo UnitHarness::step(UnitNode* node) {
    node->tick(node);
    ++synthGraph().sampleCounter;
    return node->output;
}

void UnitHarness::alignToControlStep() {
    while ((synthGraph().sampleCounter & 15u) != 1u) ++synthGraph().sampleCounter;
}
