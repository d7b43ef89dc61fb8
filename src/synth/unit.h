// What a unit type's file needs: the node record, its inputs and parameters, the sample clock,
// the current voice and the shared arithmetic.
#pragma once

#include "synth/graph.h"
#include "synth/stereo.h"
#include "synth/synth_math.h"
#include "synth/unit_node.h"
#include "synth/unit_table.h"
#include "synth/voice_slot.h"

#include <cstdint>
#include <new>

// The stamp check every tick begins with: false when the node has already run in this sample
// (its output is then current); otherwise the node is stamped and should compute.
inline bool beginTick(UnitNode* node) {
    uint32_t now = gSynthGraph.sampleCounter;
    if (node->stamp == now) return false;
    node->stamp = now;
    return true;
}

// Evaluates a node for the current sample. Past kMaxEvaluationDepth nested pulls the node is
// not evaluated and answers with its previous output.
inline void evaluateNode(UnitNode* node) {
    SynthGraph& graph = gSynthGraph;
    if (graph.evaluationDepth >= kMaxEvaluationDepth) return;
    ++graph.evaluationDepth;
    node->tick(node);
    --graph.evaluationDepth;
}

// Evaluates input k; an unbound input is silent. Constants make up most inputs of a patch and
// never change, so their (empty) tick is not called.
inline void tickInput(UnitNode* node, int32_t k) {
    UnitNode* source = node->inputs[k];
    if (source && source->tick != tickConstant) evaluateNode(source);
}
// Evaluates inputs 0 … count-1 in order.
inline void tickInputs(UnitNode* node, int32_t count) {
    for (int32_t k = 0; k < count; ++k) tickInput(node, k);
}
// The current output of input k; zero when the input is unbound.
inline Stereo input(const UnitNode* node, int32_t k) {
    const UnitNode* source = node->inputs[k];
    return source ? source->output : zeroStereo();
}
// Parameter word k of the node's record (0 for nodes made outside a patch record).
inline uint16_t paramWord(const UnitNode* node, int32_t k = 0) {
    return node->params[k];
}

// Coefficients are recomputed on the first of every 16 samples, which is also the first sample
// of every sequencer tick.
inline bool isControlStep() {
    return (gSynthGraph.sampleCounter & 15u) == 1u;
}

// The unit's private variables in the node's state area (zero at creation).
template <typename State>
inline State& unitState(UnitNode* node) {
    static_assert(sizeof(State) <= kUnitStateBytes, "unit state must fit the node's state area");
    static_assert(alignof(State) <= 16);
    return *std::launder(reinterpret_cast<State*>(node->state));
}

// The work buffer from the init hook, viewed as the unit's layout.
template <typename Buffer>
inline Buffer* workBuffer(UnitNode* node) {
    return static_cast<Buffer*>(node->buffer);
}

// The voice being evaluated by its pool; a silent slot of zeros outside any voice.
inline const VoiceSlot* currentVoice() {
    alignas(16) static const VoiceSlot silentVoice{};
    const VoiceSlot* voice = gSynthGraph.currentVoice;
    return voice ? voice : &silentVoice;
}

// The song tempo in beats per minute, both lanes.
inline Stereo songTempo() {
    return gSynthGraph.tempo;
}
