// Cost of the sound units: the real-time factor of sixteen held voices (key-tracked oscillator,
// biquad low-pass, envelope and panner each) mixed on one channel, and nanoseconds per tick of
// single nodes.
//
//   build/bin/bench_synth_voices
#include "bench_support.h"
#include "support/synth_builder.h"
#include "support/synth_voice_patch.h"

#include <vector>

namespace {

constexpr uint32_t kSongFrames = 10 * 44100;
constexpr int32_t kVoices = 16;

// Sixteen notes struck at the start and held: every voice sounds for the whole render.
// Argument: unison voices per oscillator.
BenchSong heldVoices(int32_t unison) {
    PatchBuilder patch;
    addChannelFrame(patch, {{"pool"}});
    addSynthVoicePool(patch, "pool", kVoices, {.unison = unison, .cutoff = 0.7f, .resonance = 0.05f});
    std::vector<NoteOnEvent> notes;
    for (int32_t k = 0; k < kVoices; ++k) notes.push_back({0, static_cast<uint8_t>(40 + 3 * k), 90});
    SongBuilder song;
    song.noteOns(0, notes);
    return {patch.words(), song.bytes()};
}

void* noSoundBank(size_t, size_t* size) {
    *size = 0;
    return nullptr;
}

void BM_SixteenVoices(benchmark::State& state) {
    platformServices()->readSoundBank = &noSoundBank;
    renderBenchSong(state, heldVoices(static_cast<int32_t>(state.range(0))), kSongFrames);
    state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kSongFrames,
                                                        benchmark::Counter::kIsRate);
}
// Rates are per second of wall time.
BENCHMARK(BM_SixteenVoices)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->UseRealTime();

// Argument: unison voices.
void BM_Oscillator(benchmark::State& state) {
    UnitHarness h;
    VoiceSlot voice{};
    voice.increment = stereo(0.01);
    synthGraph().currentVoice = &voice;
    const auto flags = static_cast<uint16_t>(0x800 | (state.range(0) - 1) << 8 | 1);
    UnitNode* osc = h.unit(
        UnitType::Oscillator,
        {h.probe(0.0), h.probe(0.0), h.probe(0.5), h.probe(0.0), h.probe(0.0), h.probe(0.5), h.probe(0.1)},
        {flags});
    tickUnit(state, h, nullptr, osc);
}
BENCHMARK(BM_Oscillator)->Arg(1)->Arg(7);

// Argument: the section count's N (0 runs one section, 1 two).
void BM_BiquadFilter(benchmark::State& state) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    tickUnit(state, h, signal,
             h.unit(UnitType::BiquadFilter, {signal, h.probe(0.7), h.probe(0.05), h.probe(0.75)},
                    {static_cast<uint16_t>(state.range(0) << 8)}));
}
BENCHMARK(BM_BiquadFilter)->Arg(0)->Arg(1);

void BM_PinkNoise(benchmark::State& state) {
    UnitHarness h;
    tickUnit(state, h, nullptr, h.unit(UnitType::Noise, {h.probe(1.0), h.probe(1.0)}));
}
BENCHMARK(BM_PinkNoise);

void BM_Panner(benchmark::State& state) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    tickUnit(state, h, signal, h.unit(UnitType::Panner, {signal, h.probe(0.3)}));
}
BENCHMARK(BM_Panner);

// Argument: the curve (0 soft clip, 4 sine fold).
void BM_Shaper(benchmark::State& state) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    tickUnit(state, h, signal,
             h.unit(UnitType::Shaper, {signal, h.probe(0.4), h.probe(0.75)},
                    {static_cast<uint16_t>(state.range(0))}));
}
BENCHMARK(BM_Shaper)->Arg(0)->Arg(4);

void BM_Delay(benchmark::State& state) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    tickUnit(state, h, signal, h.unit(UnitType::Delay, {signal, h.probe(0.3)}, {2}));
}
BENCHMARK(BM_Delay);

void BM_EchoDelay(benchmark::State& state) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    tickUnit(
        state, h, signal,
        h.unit(UnitType::EchoDelay, {signal, h.probe(0.5), h.probe(0.6), h.probe(0.3), h.probe(0.4)}, {128}));
}
BENCHMARK(BM_EchoDelay);

} // namespace
