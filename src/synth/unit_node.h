// The node record of the unit graph: one per unit instance, pulled once per output sample.
#pragma once

#include "synth/stereo.h"

#include <cstddef>
#include <cstdint>

struct UnitNode;
struct EvaluationPlan;
using UnitTick = void (*)(UnitNode* node);
using UnitInit = void (*)(UnitNode* node);

inline constexpr int32_t kUnitStateBytes = 512;
inline constexpr int32_t kUnitMaxInputs = 16;
// The parameter words of a node made outside a patch record: as many zeros as a unit reads.
inline constexpr uint16_t kNoParamWords[2] = {0, 0};

// Zero-filled and 16-byte aligned at creation. The fields are ordered by how often a sample
// touches them: the first 64 bytes hold what every evaluation reads (the output, the plan a
// voice's pool looks up, the stamp, the input count and the first four inputs), so the simplest
// units touch one cache line of their own; the rest of the inputs, the activity, parameters and
// the unit's state follow; what only building, planning and releasing read comes last.
struct alignas(16) UnitNode {
    Stereo output;                    // the value for the current sample, read by the consumers
    EvaluationPlan* plan;             // the plan of a node evaluated as a root (the master, a voice)
    uint32_t stamp;                   // SampleCounter of the last evaluation
    int32_t inputCount;               // inputs (for a constant: 1 mono, 2 stereo); -1 once released
    UnitNode* inputs[kUnitMaxInputs]; // null where an input cannot be bound
    Stereo activity;                  // nonzero in a lane while the unit still sounds there
    const uint16_t* params;           // parameter words: the patch word after the last input word,
                                      // or kNoParamWords for a node made outside a patch record
    // Nonzero while an unstamped unit (ChannelOutput, RandomValue) is pulling its inputs: a loop
    // back to it then answers with its previous output, as the stamp does for the other units.
    int32_t evaluating;
    int32_t type;
    alignas(16) unsigned char state[kUnitStateBytes]; // the unit type's private variables
    UnitTick tick;                                    // the type's processing function
    UnitInit init;                                    // the type's creation hook, may be null
    void* buffer;   // large work buffer made by the init hook, released with the node
    int32_t shared; // 1 for shared nodes, and for per-voice nodes once released
    int32_t index;  // word index of the node's record in the patch
    // Every node that is neither freed nor waiting on the release list is on this chain, so
    // the whole synthesizer can be taken down even while voices sound.
    UnitNode* livePrev;
    UnitNode* liveNext;
    // The marks a plan build (evaluation_plan.h) leaves on the nodes it has met.
    uint32_t planVisit; // build serial once the node's stamped part is placed
    uint32_t planGuard; // build serial while its guard is open (ChannelOutput, RandomValue)
    // 1 on a shared node once a voice has been built that can reach it: a voice may then
    // evaluate it before the master does in a sample, so the master's plan checks its stamp.
    int32_t voiceReach;
};
static_assert(sizeof(void*) != 8 || offsetof(UnitNode, inputs) + 4 * sizeof(UnitNode*) == 64,
              "the fields every evaluation reads share the node's first cache line");
