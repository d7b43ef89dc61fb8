// Cost of the mix-shaping and sample units: nanoseconds per tick of one node, and the
// real-time factor of a song rendered through a reverb and a graphic equaliser.
//
//   build/bin/bench_synth_effects
#include "base/memory.h"
#include "bench_support.h"
#include "support/synth_builder.h"
#include "synth/sample_bank.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

// A sound bank holding one "data" block: a 440 Hz-ish sine of `samples` 16-bit samples.
std::vector<uint8_t> sineBank(int32_t samples) {
    std::vector<uint8_t> bytes = {'d', 'a', 't', 'a'};
    uint32_t length = static_cast<uint32_t>(2 * samples);
    for (int32_t i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(length >> (8 * i)));
    for (int32_t k = 0; k < samples; ++k) {
        auto s = static_cast<int16_t>(std::lround(12000.0 * std::sin(2.0 * M_PI * k / 50.1)));
        bytes.push_back(static_cast<uint8_t>(s));
        bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
    }
    return bytes;
}

void BM_Reverb(benchmark::State& state) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    UnitNode* reverb = h.unit(UnitType::Reverb,
                              {signal, h.probe(0.8), h.probe(0.7), h.probe(0.3), h.probe(0.3), h.probe(1.0)});
    tickUnit(state, h, signal, reverb);
}

void BM_GraphicEq(benchmark::State& state) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    std::vector<UnitNode*> inputs{signal};
    for (int32_t j = 1; j <= 10; ++j) inputs.push_back(h.probe(0.7 + 0.01 * j));
    tickUnit(state, h, signal, h.unit(UnitType::GraphicEq, inputs));
}

void BM_ThreeBandEq(benchmark::State& state) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    tickUnit(state, h, signal,
             h.unit(UnitType::ThreeBandEq, {signal, h.probe(0.8), h.probe(0.7), h.probe(0.75)}));
}

void BM_Sampler(benchmark::State& state) {
    std::vector<uint8_t> bank = sineBank(20000);
    loadSampleBank(bank.data(), bank.size());
    {
        UnitHarness h;
        UnitNode* source = h.unit(UnitType::SampleSource, {}, {0});
        UnitNode* sampler = h.unit(
            UnitType::Sampler,
            {source, h.probe(0.0), h.probe(0.05), h.probe(0.0), h.probe(0.2), h.probe(0.8), h.probe(0.5)},
            {8});
        tickUnit(state, h, nullptr, sampler);
    }
    releaseSampleBank();
}

// Parameter word 257: two low-pass stages, each updated twice a sample.
void BM_StateVariableFilter(benchmark::State& state) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    tickUnit(state, h, signal,
             h.unit(UnitType::StateVariableFilter, {signal, h.probe(0.6), h.probe(0.4)},
                    {static_cast<uint16_t>(state.range(0))}));
}

// Ping-pong echo of a quarter beat with damping.
void BM_EchoDelay(benchmark::State& state) {
    UnitHarness h;
    UnitNode* signal = h.probe(0.0);
    tickUnit(state, h, signal,
             h.unit(UnitType::EchoDelay, {signal, h.probe(0.25), h.probe(0.6), h.probe(0.3), h.probe(0.4)},
                    {0x84}));
}

BENCHMARK(BM_Reverb);
BENCHMARK(BM_EchoDelay);
BENCHMARK(BM_GraphicEq);
BENCHMARK(BM_ThreeBandEq);
BENCHMARK(BM_Sampler);
BENCHMARK(BM_StateVariableFilter)->Arg(1)->Arg(257);

// The song's sound bank, handed to the synthesizer in place of the system's.
std::vector<uint8_t> gBenchBank;

void* readBenchBank(size_t limit, size_t* size) {
    size_t count = gBenchBank.size() < limit ? gBenchBank.size() : limit;
    void* block = memAlloc(count);
    if (block) std::memcpy(block, gBenchBank.data(), count);
    *size = count;
    return block;
}

// One channel, one 8-voice pool of looping samplers scaled by velocity, a note every 40
// sequencer ticks; with `effects` the mix runs through a ping-pong echo, a reverb and a graphic
// equaliser before the master output.
BenchSong benchSong(bool effects) {
    PatchBuilder patch;
    addChannelFrame(patch, {{"pool"}});
    std::string one = patch.constant(1.0f), half = patch.constant(0.5f), zero = patch.constant(0.0f);
    patch.node("pool", UnitType::VoicePool, {"voice", zero, zero, zero},
               {keyRange(0, 127), poolVoiceLimit(8)});
    patch.voiceNode("voice", UnitType::VoiceOutput, {"scaled", half, one});
    patch.voiceNode("scaled", UnitType::Multiply, {"sampler", "velocity"});
    patch.voiceNode("velocity", UnitType::VoiceVelocity, {one});
    patch.voiceNode(
        "sampler", UnitType::Sampler,
        {"source", zero, patch.constant(0.03125f), zero, patch.constant(0.2f), patch.constant(0.8f), half},
        {8});
    patch.voiceNode("source", UnitType::SampleSource, {}, {0});
    if (effects) {
        patch.records[0].inputs[0] = "eq"; // master reads the equaliser instead of the mix
        patch.node(
            "echo", UnitType::EchoDelay,
            {"mix", patch.constant(0.25f), patch.constant(0.6f), patch.constant(0.3f), patch.constant(0.4f)},
            {0x84});
        patch.node("reverb", UnitType::Reverb,
                   {"echo", patch.constant(0.8f), patch.constant(0.7f), patch.constant(0.3f),
                    patch.constant(0.3f), one});
        std::vector<std::string> eqInputs{"reverb"};
        for (int32_t j = 1; j <= 10; ++j) eqInputs.push_back(patch.constant(0.7f + 0.01f * j));
        patch.node("eq", UnitType::GraphicEq, eqInputs);
    }
    std::vector<NoteOnEvent> notes;
    for (uint32_t tick = 0; tick < 7000; tick += 40)
        notes.push_back({tick, static_cast<uint8_t>(48 + tick / 40 % 24), 100});
    SongBuilder song;
    song.noteOns(0, notes);
    return {patch.words(), song.bytes()};
}

constexpr uint32_t kSongFrames = 10 * 44100;

void BM_MixRealTime(benchmark::State& state) {
    gBenchBank = sineBank(20000);
    platformServices()->readSoundBank = &readBenchBank;
    renderBenchSong(state, benchSong(state.range(0) != 0), kSongFrames);
}

// Argument 0: the bare mix; 1: the mix through ping-pong echo, reverb and graphic equaliser.
BENCHMARK(BM_MixRealTime)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
