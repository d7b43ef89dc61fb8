// The sound-bank scan over arbitrary bytes. Input: the bank file as it would be read.
// Every wave must lie inside what the bytes can give, and every frame must be readable.
#include "fuzz/fuzz_support.h"
#include "synth/sample_bank.h"

volatile double frameSink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int64_t before = memLiveBlocks();
    loadSampleBank(data, size);
    const SampleBank& bank = sampleBank();
    if (bank.count > kSampleBankRoom) std::abort();
    double sum = 0.0;
    for (uint32_t k = 0; k < bank.count; ++k) {
        SampleWave wave = sampleWave(static_cast<int32_t>(k));
        // A block yields at most one frame per byte that follows its header.
        if (wave.length > static_cast<double>(size)) std::abort();
        if (wave.length > 0) {
            const auto last = static_cast<size_t>(wave.length) - 1;
            sum += wave.frames[0].v[0] + wave.frames[last].v[1];
        }
    }
    if (sampleWave(-1).frames || sampleWave(static_cast<int32_t>(bank.count)).frames) std::abort();
    releaseSampleBank();
    checkNoLiveBlocks(before, "the sample bank");
    frameSink = sum; // keeps the reads from being optimised away
    return 0;
}
