// Compile time of a full-size song source: 16 channels of 16 bars of sixteenths (8,192 notes)
// and a controller ramp on every channel, against a patch with one pool per channel.
//
//   build/bin/bench_songc_compile
#include "songc/songc.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

std::string patchSource() {
    std::string text = "master = { type = \"Multiply\", signal = \"mix\", gain = 1.0 }\n";
    std::string mix = "[nodes]\nmix = { type = \"Sum\", inputs = [";
    for (int c = 0; c < 16; ++c) {
        text += "[channels.c" + std::to_string(c) + "]\nnumber = " + std::to_string(c) +
                "\npools = [ { instrument = \"tone\", voices = 16 } ]\n";
        mix += (c ? ", \"c" : "\"c") + std::to_string(c) + "\"";
    }
    return text + mix + "] }\n[instruments.tone]\n" +
           "out = { type = \"VoiceOutput\", signal = \"osc\", gain = \"env\", active = \"env\" }\n"
           "osc = { type = \"Oscillator\", fm = 0.0, phase = 0.0, width = 0.5, transpose = 0.0, fine = 0.0, "
           "amplitude = 0.1, detune = 0.0, wave = \"saw\", keytrack = true }\n"
           "env = { type = \"Envelope\", trigger = 0.0, gate = 0.0, attack = 0.01, decay = 0.2, sustain = "
           "0.5, "
           "release = 0.1, gain = 1.0, voice_trigger = true, voice_gate = true }\n";
}

std::string songSource() {
    std::string text =
        "tempo = 125.0\n[patterns]\nrun = \"C4/16@90 D4 E4 F4 G4 A4 B4 C5 | B4 A4 G4 F4 E4 D4 C4 "
        "D4 | E4 F4 G4 A4 B4 C5 D5 E5 | D5 C5 B4 A4 G4 F4 E4 D4\"\n";
    for (int c = 0; c < 16; ++c) {
        text += "[[arrangement]]\nat = \"1:1:0\"\nchannel = " + std::to_string(c) +
                "\nplay = \"run run+2 run-3 run+5\"\nrepeat = 4\n";
        text += "[[automation]]\nchannel = " + std::to_string(c) +
                "\ncontroller = 1\npoints = [\"1:1:0 = 0\", \"17:1:0 -> 127\"]\n";
    }
    return text;
}

void BM_CompileFullSong(benchmark::State& state) {
    const std::string patchText = patchSource(), songText = songSource();
    std::vector<uint16_t> patch;
    std::vector<uint8_t> song;
    std::string error;
    if (!compilePatch(patchText, "bench.patch", &patch, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        if (!compileSong(songText, "bench.song", patch.data(), &song, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        benchmark::DoNotOptimize(song.data());
    }
    state.counters["bytes"] = double(song.size());
}
BENCHMARK(BM_CompileFullSong)->Unit(benchmark::kMillisecond);

void BM_CompilePatch(benchmark::State& state) {
    const std::string patchText = patchSource();
    std::vector<uint16_t> patch;
    std::string error;
    for (auto _ : state) {
        if (!compilePatch(patchText, "bench.patch", &patch, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        benchmark::DoNotOptimize(patch.data());
    }
}
BENCHMARK(BM_CompilePatch)->Unit(benchmark::kMillisecond);

} // namespace
