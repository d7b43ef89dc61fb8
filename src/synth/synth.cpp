#include "synth/synth.h"

#include "base/memory.h"
#include "synth/evaluation_plan.h"
#include "synth/float_mode.h"
#include "synth/graph.h"
#include "synth/patch.h"
#include "synth/sample_bank.h"
#include "synth/sequencer.h"
#include "synth/synth_math.h"
#include "synth/unit.h"

#include <emmintrin.h>

#include <cstring>

namespace {

uint32_t position;

} // namespace

int32_t prepareSynth(const uint8_t* song, size_t songBytes, const uint16_t* patch) {
    releaseSynth();
    resetNoise();
    if (!initSynthGraph(patch)) return 0;
    if (!loadSequencerSong(song, songBytes)) {
        releaseSynth();
        return 0;
    }
    createConstantNodes();
    buildNode(0, kBuildShared);
    loadSystemSampleBank();
    return 1;
}

void releaseSynth() {
    releaseSynthGraph();
    releaseSequencer();
    releaseSampleBank();
    resetNoise();
    position = 0;
}

void beginRender() {
    SynthGraph& graph = synthGraph();
    const SongHeader& header = sequencer().song.header;
    graph.tempo = stereo(static_cast<double>(header.tempo));
    // A grid of 0 would never advance.
    graph.samplesPerTick = header.samplesPerTick > 0 ? header.samplesPerTick : 1;
    resetSequencerStreams();
    position = 0;
    // The master's plan takes its memory now rather than in the first sample.
    if (graph.nodeTable) preparePlan(graph.nodeTable[kMasterNodeIndex]);
}

uint32_t renderTickFrames() {
    return static_cast<uint32_t>(synthGraph().samplesPerTick);
}

uint32_t renderPosition() {
    return position;
}

uint32_t renderTick(float* out) {
    SynthGraph& graph = synthGraph();
    sequencerStep(position);
    uint32_t frames = renderTickFrames();
    position += frames;
    UnitNode* master = graph.nodeTable ? graph.nodeTable[kMasterNodeIndex] : nullptr;
    for (uint32_t i = 0; i < frames; ++i) {
        __m128 narrowed = _mm_setzero_ps();
        if (master) {
            if (beginPlannedSample())
                runPlan(master);
            else
                evaluateNode(master);
            graph.planned = 0;
            narrowed = _mm_cvtpd_ps(master->output.v); // truncates under the render mode
        }
        _mm_storel_pi(reinterpret_cast<__m64*>(out + 2 * i), narrowed);
        ++graph.sampleCounter;
    }
    freeReleased();
    return frames;
}

int32_t renderSong(const uint8_t* song, size_t songBytes, const uint16_t* patch, float* out,
                   uint32_t frameCount) {
    if (!prepareSynth(song, songBytes, patch)) {
        std::memset(out, 0, static_cast<size_t>(frameCount) * 2 * sizeof(float));
        return 0;
    }
    FloatModeGuard mode;
    beginRender();
    float* partial = nullptr;
    uint32_t done = 0;
    while (done < frameCount) {
        uint32_t frames = renderTickFrames();
        if (frameCount - done >= frames) {
            done += renderTick(out + 2 * static_cast<size_t>(done));
            continue;
        }
        // The last tick does not fit: render it aside and keep its head.
        partial = static_cast<float*>(memAlloc(static_cast<size_t>(frames) * 2 * sizeof(float)));
        if (partial) {
            renderTick(partial);
            std::memcpy(out + 2 * static_cast<size_t>(done), partial,
                        static_cast<size_t>(frameCount - done) * 2 * sizeof(float));
        } else {
            std::memset(out + 2 * static_cast<size_t>(done), 0,
                        static_cast<size_t>(frameCount - done) * 2 * sizeof(float));
        }
        done = frameCount;
    }
    memFree(partial);
    return 1;
}
