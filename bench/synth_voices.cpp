// Cost of the sound units: the real-time factor of sixteen held voices (key-tracked oscillator,
// biquad low-pass, envelope and panner each) mixed on one channel, and nanoseconds per tick of
// single nodes.
//
//   build/bin/bench_synth_voices
#include "platform/platform.h"
#include "support/synth_builder.h"
#include "support/unit_harness.h"
#include "synth/synth.h"
#include "synth/units/synth_voice_patch.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr uint32_t kSongFrames = 10 * 44100;
constexpr int32_t kVoices = 16;

struct BenchSong {
    std::vector<uint16_t> patch;
    std::vector<uint8_t> song;
};

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
    BenchSong song = heldVoices(static_cast<int32_t>(state.range(0)));
    std::vector<float> out(2 * kSongFrames);
    for (auto _ : state) {
        renderSong(song.song.data(), song.song.size(), song.patch.data(), out.data(), kSongFrames);
        benchmark::DoNotOptimize(out.data());
    }
    releaseSynth();
    resetPlatformServices();
    float peak = 0.0f;
    for (float sample : out) peak = std::fmax(peak, std::fabs(sample));
    state.counters["peak"] = peak; // proves the voices sound
    state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kSongFrames,
                                                        benchmark::Counter::kIsRate);
    // Seconds of audio per second of rendering: 44,100 frames a second is 1x.
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kSongFrames / 44100.0, benchmark::Counter::kIsRate);
}
// Rates are per second of wall time.
BENCHMARK(BM_SixteenVoices)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->UseRealTime();

// Ticks one node per iteration while its signal input changes every sample.
void tickUnit(benchmark::State& state, UnitHarness& h, UnitNode* signal, UnitNode* node) {
    uint32_t seed = 1;
    for (auto _ : state) {
        seed = seed * 1664525u + 1013904223u;
        if (signal) signal->output = stereo(static_cast<int32_t>(seed) * 0x1p-31);
        benchmark::DoNotOptimize(h.step(node));
    }
    state.SetItemsProcessed(state.iterations());
}

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
