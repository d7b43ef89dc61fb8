// Song decoding and the sequencer over arbitrary song bytes. Input: the song as stored (header,
// delta-coded event area, end marker), played through the built-in patch.
// The sequencer runs a few thousand ticks; node 0 is evaluated for one sample per tick, enough
// for the pools to take their queued notes at every sixteenth tick and start and end voices.
#include "fuzz/fuzz_support.h"
#include "synth/builtin_song.h"
#include "synth/float_mode.h"
#include "synth/graph.h"
#include "synth/sequencer.h"
#include "synth/synth.h"

namespace {

constexpr uint32_t kTicks = 3000;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    useNoSoundBank();
    const int64_t before = memLiveBlocks();
    if (prepareSynth(data, size, builtinPatchWords())) {
        FloatModeGuard mode;
        beginRender();
        SynthGraph& graph = synthGraph();
        const auto perTick = static_cast<uint32_t>(graph.samplesPerTick);
        for (uint32_t tick = 0; tick < kTicks; ++tick) {
            sequencerStep(tick * perTick); // wraps like the 32-bit sample position does
            if (UnitNode* master = graph.nodeTable[0]) master->tick(master);
            ++graph.sampleCounter;
            freeReleased();
        }
    }
    releaseSynth();
    checkNoLiveBlocks(before, "the song");
    return 0;
}
