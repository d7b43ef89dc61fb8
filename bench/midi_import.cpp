// How the MIDI import's time grows with the file: one track of N notes, and T tracks of a tempo
// and a note each. Both must grow in step with the input (the complexity fit says "N" or
// "NlgN"), not with its square.
//
//   build/bin/bench_midi_import
#include "songc/songc.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace {

void big(std::string& bytes, uint32_t value, int count) {
    while (count--) bytes += char(value >> (8 * count));
}

std::string track(const std::string& events) {
    std::string chunk = "MTrk";
    big(chunk, uint32_t(events.size() + 4), 4);
    return chunk + events + std::string("\0\xFF\x2F\0", 4);
}

std::string midiFile(int tracks, const std::string& body) {
    std::string file = "MThd";
    big(file, 6, 4);
    big(file, 1, 2);
    big(file, uint32_t(tracks), 2);
    big(file, 96, 2);
    return file + body;
}

// N notes of a sixteenth each on one channel, one after another.
std::string noteTrack(int notes) {
    std::string events;
    for (int n = 0; n < notes; ++n) events += std::string("\0\x90\x3C\x64\x18\x80\x3C\0", 8);
    return midiFile(1, track(events));
}

// T tracks, each a tempo of its own at its own pulse and one note.
std::string tempoTracks(int tracks) {
    std::string body;
    for (int t = 0; t < tracks; ++t) {
        std::string events = std::string(1, char(t % 100 + 1)) + std::string("\xFF\x51\x03", 3);
        big(events, 500000 + uint32_t(t), 3);
        body += track(events + std::string("\0\x90\x3C\x64\x10\x80\x3C\0", 8));
    }
    return midiFile(tracks, body);
}

void importEach(benchmark::State& state, const std::string& file) {
    std::string text, warnings, error;
    for (auto _ : state) {
        text.clear();
        warnings.clear();
        if (!importMidiBytes(file, "bench.mid", &text, &warnings, &error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(text.data());
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

void BM_ImportNotes(benchmark::State& state) {
    importEach(state, noteTrack(int(state.range(0))));
}
BENCHMARK(BM_ImportNotes)->Arg(10000)->Arg(20000)->Arg(40000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_ImportTempoTracks(benchmark::State& state) {
    importEach(state, tempoTracks(int(state.range(0))));
}
BENCHMARK(BM_ImportTempoTracks)->Arg(1000)->Arg(2000)->Arg(5000)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace
