// The unit graph: node creation from the patch, per-voice instances, deferred release.
#pragma once

#include "synth/stereo.h"
#include "synth/unit_node.h"
#include "synth/voice_slot.h"

#include <cstdint>

inline constexpr int32_t kBuildVoice = 0;
inline constexpr int32_t kBuildShared = 1;
// The release list starts with room for this many pointers and grows if a tick needs more.
inline constexpr uint32_t kReleaseListRoom = 65536;
// Pulls nest at most this deep. Loops end at the first node met again (stamped or evaluating),
// so a path visits a patch record at most once per voice level; the bound is the second line of
// defence that keeps any patch's pull within the stack (a few hundred kilobytes at most).
inline constexpr uint32_t kMaxEvaluationDepth = 1024;

// The graph's state; it belongs to the rendering thread once the synthesizer is prepared.
struct SynthGraph {
    uint32_t sampleCounter;     // 1 after preparation, +1 after every output sample
    uint32_t voiceStartCounter; // +1 per started voice; also the stamp of each voice build
    uint16_t* patch;            // the patch words (a private copy)
    UnitNode** nodeTable;       // per patch index, the node built last for it
    uint32_t* buildStamps;      // per patch index, the voice build that last instantiated it
    void** releaseList;         // nodes and buffers to free at the end of the sequencer tick
    uint32_t releaseCount;
    uint32_t releaseRoom;
    UnitNode* liveNodes; // chain of every node not yet released
    VoiceSlot* currentVoice;
    Stereo tempo;             // beats per minute, from the song
    int32_t samplesPerTick;   // the sequencer's grid, from the song
    uint32_t evaluationDepth; // pulls in progress, up to kMaxEvaluationDepth
    int32_t liveNodeCount;    // nodes on the live chain that can be pulled (not constants)
    // Evaluation plans (evaluation_plan.h).
    uint32_t planGeneration;  // +1 whenever the order of evaluation may have changed
    uint32_t planBuildSerial; // +1 per plan build
    int32_t poolsWithNoteOns; // pools holding note-ons: their next control step builds voices
    int32_t planned;          // the current sample is evaluated through plans
    uint32_t plannedSampleCount;
};

extern SynthGraph gSynthGraph;
inline SynthGraph& synthGraph() {
    return gSynthGraph;
}

// Says that what the evaluation reaches has changed (a channel fell asleep or woke, a random
// value with an evaluated range was fixed): every plan is rebuilt before it runs again.
inline void changeEvaluationOrder() {
    ++gSynthGraph.planGeneration;
}

// Takes a copy of the patch (kPatchWordCount words), allocates the node table and the build
// stamps, and sets SampleCounter to 1. A previous graph is released first. 0 on allocation
// failure.
int32_t initSynthGraph(const uint16_t* patchWords);
// The 130 mono and 11 stereo constant nodes.
void createConstantNodes();
// Frees every node, buffer and table of the graph and returns it to its initial state.
void releaseSynthGraph();

// A zero-filled node of the given type stored at NodeTable[index], its init hook run. Null for
// an index outside the node table or when memory runs out.
UnitNode* createNode(int32_t type, int32_t inputCount, int32_t index, int32_t shared);
// The node for a patch index, built with its inputs as needed; mode kBuildShared or kBuildVoice.
// Null where the node cannot be bound (a per-voice node seen from the shared graph, an index
// outside the node table, a constant index holding no constant).
UnitNode* buildNode(int32_t index, int32_t mode);
// Marks a voice's sub-graph released; its per-voice nodes and buffers are freed by
// freeReleased. Shared and already released nodes are left alone.
void releaseNode(UnitNode* node);
// Frees everything released since the last call, newest first.
void freeReleased();
