#include "synth/graph.h"

#include "base/memory.h"
#include "synth/patch.h"
#include "synth/unit_table.h"

#include <cstring>

SynthGraph gSynthGraph;

namespace {

void linkLive(UnitNode* node) {
    SynthGraph& graph = synthGraph();
    node->liveNext = graph.liveNodes;
    if (graph.liveNodes) graph.liveNodes->livePrev = node;
    graph.liveNodes = node;
    if (node->tick != tickConstant) ++graph.liveNodeCount; // constants are never pulled
}

// A shared node a voice being built reaches, and all it pulls. A node marked for the first time
// changes the master's plan, which is walked again before it next runs; voices are built only
// in samples that are pulled, so no plan runs in between.
UnitNode* markVoiceReach(UnitNode* node) {
    if (!node || node->shared != 1 || node->voiceReach || node->tick == tickConstant) return node;
    node->voiceReach = 1;
    changeEvaluationOrder();
    for (int32_t k = 0; k < node->inputCount; ++k) markVoiceReach(node->inputs[k]);
    return node;
}

void unlinkLive(UnitNode* node) {
    SynthGraph& graph = synthGraph();
    if (node->livePrev)
        node->livePrev->liveNext = node->liveNext;
    else if (graph.liveNodes == node)
        graph.liveNodes = node->liveNext;
    if (node->liveNext) node->liveNext->livePrev = node->livePrev;
    node->livePrev = node->liveNext = nullptr;
    if (node->tick != tickConstant) --graph.liveNodeCount;
}

void scheduleFree(void* block) {
    SynthGraph& graph = synthGraph();
    if (graph.releaseCount == graph.releaseRoom) {
        // More releases in one tick than the list was sized for: grow it rather than free
        // early, since the released memory may still be read until the tick ends.
        uint32_t room = graph.releaseRoom ? graph.releaseRoom * 2 : kReleaseListRoom;
        auto* grown = static_cast<void**>(memRealloc(graph.releaseList, room * sizeof(void*)));
        if (!grown) return; // out of memory: leaking the block is safer than freeing it early
        graph.releaseList = grown;
        graph.releaseRoom = room;
    }
    graph.releaseList[graph.releaseCount++] = block;
}

} // namespace

int32_t initSynthGraph(const uint16_t* patchWords) {
    SynthGraph& graph = synthGraph();
    releaseSynthGraph(); // a graph built before would otherwise be lost with all its nodes
    graph.patch = static_cast<uint16_t*>(memAlloc(kPatchWordCount * sizeof(uint16_t)));
    graph.nodeTable = static_cast<UnitNode**>(memAlloc(kNodeIndexLimit * sizeof(UnitNode*)));
    graph.buildStamps = static_cast<uint32_t*>(memAlloc(kNodeIndexLimit * sizeof(uint32_t)));
    graph.releaseList = static_cast<void**>(memAlloc(kReleaseListRoom * sizeof(void*)));
    graph.releaseRoom = graph.releaseList ? kReleaseListRoom : 0;
    graph.sampleCounter = 1;
    graph.tempo = stereo(125.0);
    graph.samplesPerTick = 64;
    if (!graph.patch || !graph.nodeTable || !graph.buildStamps) {
        releaseSynthGraph();
        return 0;
    }
    std::memcpy(graph.patch, patchWords, kPatchWordCount * sizeof(uint16_t));
    return 1;
}

void createConstantNodes() {
    for (int32_t i = kFirstConstantIndex; i < kFirstStereoConstantIndex; i += 2)
        createNode(static_cast<int32_t>(UnitType::Constant), 1, i, kBuildShared);
    for (int32_t i = kFirstStereoConstantIndex; i < kNodeIndexLimit; i += 4)
        createNode(static_cast<int32_t>(UnitType::Constant), 2, i, kBuildShared);
}

void releaseSynthGraph() {
    SynthGraph& graph = synthGraph();
    freeReleased();
    for (UnitNode* node = graph.liveNodes; node;) {
        UnitNode* next = node->liveNext;
        memFree(node->plan);
        memFree(node->buffer);
        memFree(node);
        node = next;
    }
    memFree(graph.releaseList);
    memFree(graph.buildStamps);
    memFree(graph.nodeTable);
    memFree(graph.patch);
    graph = SynthGraph{};
}

UnitNode* createNode(int32_t type, int32_t inputCount, int32_t index, int32_t shared) {
    SynthGraph& graph = synthGraph();
    if (index < 0 || index >= kNodeIndexLimit || !graph.nodeTable) return nullptr;
    auto* node = static_cast<UnitNode*>(memAlloc(sizeof(UnitNode)));
    if (!node) return nullptr;
    if (type == static_cast<int32_t>(UnitType::Constant)) {
        float value = patchFloat(graph.patch, index);
        node->output = stereo(value);
        if (inputCount == 2) node->output = stereo(value, patchFloat(graph.patch, index + 2));
    }
    graph.nodeTable[index] = node;
    node->tick = unitTick(type);
    node->init = unitInit(type);
    // A record may state more inputs than the node has room for; the extra ones are not bound.
    node->inputCount = inputCount < kUnitMaxInputs ? inputCount : kUnitMaxInputs;
    node->shared = shared;
    node->index = index;
    node->type = type;
    node->params = kNoParamWords;
    linkLive(node);
    if (node->init) node->init(node);
    return node;
}

UnitNode* buildNode(int32_t index, int32_t mode) {
    SynthGraph& graph = synthGraph();
    if (index < 0 || index >= kNodeIndexLimit || !graph.nodeTable) return nullptr;
    bool lookUp = true;
    const bool forVoice = mode == kBuildVoice;
    if (forVoice) {
        if (index >= kFirstConstantIndex || graph.buildStamps[index] == graph.voiceStartCounter) {
            mode = kBuildShared; // constants, and nodes already built in this voice build
        } else {
            graph.buildStamps[index] = graph.voiceStartCounter;
            lookUp = false;
        }
    }
    for (;;) {
        if (lookUp && graph.nodeTable[index])
            return forVoice ? markVoiceReach(graph.nodeTable[index]) : graph.nodeTable[index];
        // Constants exist from preparation on; any other word up there is no record.
        if (index >= kFirstConstantIndex) return nullptr;
        uint16_t header = graph.patch[index];
        if (recordShared(header) == mode) {
            int32_t inputCount = recordInputCount(header);
            UnitNode* node = createNode(recordType(header), inputCount, index, mode);
            if (!node) return nullptr;
            // Depth first in input order; the node is already in the table, so a cycle or a
            // second path within this build finds it instead of building it again.
            for (int32_t k = 0; k < node->inputCount; ++k)
                node->inputs[k] = buildNode(graph.patch[index + 1 + k], mode);
            node->params = &graph.patch[index + 1 + inputCount];
            return forVoice ? markVoiceReach(node) : node;
        }
        // A per-voice node cannot be bound from the shared graph; a shared node reached from a
        // voice is looked up, or built once, as a shared node.
        if (mode == kBuildShared) return nullptr;
        mode = kBuildShared;
        lookUp = true;
    }
}

void releaseNode(UnitNode* node) {
    if (!node || node->shared != 0) return;
    node->shared = 1;
    // The table keeps no node that is about to be freed. The master, a channel's output and its
    // routing node are read from the table between ticks; a damaged patch may hold a per-voice
    // record at one of those indices, whose last instance would otherwise be read after its free.
    SynthGraph& graph = synthGraph();
    if (graph.nodeTable && node->index >= 0 && node->index < kNodeIndexLimit &&
        graph.nodeTable[node->index] == node)
        graph.nodeTable[node->index] = nullptr;
    if (node->buffer) scheduleFree(node->buffer);
    if (node->plan) scheduleFree(node->plan);
    node->plan = nullptr;
    for (int32_t k = 0; k < node->inputCount; ++k) releaseNode(node->inputs[k]);
    node->inputCount = -1;
    unlinkLive(node);
    scheduleFree(node);
}

void freeReleased() {
    SynthGraph& graph = synthGraph();
    while (graph.releaseCount > 0) memFree(graph.releaseList[--graph.releaseCount]);
}
