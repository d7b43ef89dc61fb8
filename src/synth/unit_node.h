// The node record of the unit graph: one per unit instance, pulled once per output sample.
#pragma once

#include "synth/stereo.h"

#include <cstdint>

struct UnitNode;
struct EvaluationPlan;
using UnitTick = void (*)(UnitNode* node);
using UnitInit = void (*)(UnitNode* node);

inline constexpr int32_t kUnitStateBytes = 512;
inline constexpr int32_t kUnitMaxInputs = 16;

// Zero-filled and 16-byte aligned at creation.
struct alignas(16) UnitNode {
    Stereo output;          // the value for the current sample, read by the consumers
    UnitTick tick;          // the type's processing function
    uint32_t stamp;         // SampleCounter of the last evaluation
    UnitInit init;          // the type's creation hook, may be null
    void* buffer;           // large work buffer made by the init hook, released with the node
    const uint16_t* params; // parameter words: the patch word after the last input word
    int32_t inputCount;     // inputs (for a constant: 1 mono, 2 stereo); -1 once released
    int32_t shared;         // 1 for shared nodes, and for per-voice nodes once released
    int32_t index;          // word index of the node's record in the patch
    Stereo activity;        // nonzero in a lane while the unit still sounds there
    alignas(16) unsigned char state[kUnitStateBytes]; // the unit type's private variables
    UnitNode* inputs[kUnitMaxInputs];                 // null where an input cannot be bound
    int32_t type;
    // Nonzero while an unstamped unit (ChannelOutput, RandomValue) is pulling its inputs: a loop
    // back to it then answers with its previous output, as the stamp does for the other units.
    int32_t evaluating;
    // Every node that is neither freed nor waiting on the release list is on this chain, so
    // the whole synthesizer can be taken down even while voices sound.
    UnitNode* livePrev;
    UnitNode* liveNext;
    // Evaluation plans (evaluation_plan.h): the plan of a node evaluated as a root (the master,
    // a voice), and the marks a plan build leaves on the nodes it has met.
    EvaluationPlan* plan;
    uint32_t planVisit; // build serial once the node's stamped part is placed
    uint32_t planGuard; // build serial while its guard is open (ChannelOutput, RandomValue)
};
