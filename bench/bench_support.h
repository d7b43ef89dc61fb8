// What the synthesizer benchmarks share: a song with its patch, rendered and measured against
// real time, and single nodes ticked with a changing input.
#pragma once

#include "platform/platform.h"
#include "support/unit_harness.h"
#include "synth/synth.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

struct BenchSong {
    std::vector<uint16_t> patch;
    std::vector<uint8_t> song;
};

// Renders `frames` frames of the song per iteration, then releases the synthesizer and the
// platform services the caller replaced. Reports the peak (proof that the song sounds) and the
// seconds of audio per second of rendering.
inline void renderBenchSong(benchmark::State& state, const BenchSong& song, uint32_t frames) {
    std::vector<float> out(2 * size_t(frames));
    for (auto _ : state) {
        renderSong(song.song.data(), song.song.size(), song.patch.data(), out.data(), frames);
        benchmark::DoNotOptimize(out.data());
    }
    releaseSynth();
    resetPlatformServices();
    float peak = 0.0f;
    for (float sample : out) peak = std::fmax(peak, std::fabs(sample));
    state.counters["peak"] = peak;
    // 44,100 frames a second is 1x.
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * frames / double(kAudioFrameRate),
                           benchmark::Counter::kIsRate);
}

// Ticks one node per iteration while its signal input changes every sample.
inline void tickUnit(benchmark::State& state, UnitHarness& h, UnitNode* signal, UnitNode* node) {
    uint32_t seed = 1;
    for (auto _ : state) {
        seed = seed * 1664525u + 1013904223u;
        if (signal) signal->output = stereo(static_cast<int32_t>(seed) * 0x1p-31);
        benchmark::DoNotOptimize(h.step(node));
    }
    state.SetItemsProcessed(state.iterations());
}
