// Evaluation plans against the pull they replace: the same song rendered through plans and by
// pulling node 0 sample by sample must agree in every bit and leave the noise where it was.
#include "support/synth_builder.h"
#include "support/synth_test.h"
#include "synth/builtin_song.h"
#include "synth/float_mode.h"
#include "synth/patch.h"
#include "synth/sequencer.h"
#include "synth/synth.h"

#include <emmintrin.h>

#include <gtest/gtest.h>

namespace {

struct Rendered {
    std::vector<float> frames;
    NoiseState noise;
};

// The render loop without plans: node 0 pulled once a sample, as the fuzz targets drive it.
Rendered renderPulled(const std::vector<uint8_t>& song, const uint16_t* patch, uint32_t ticks) {
    Rendered out;
    EXPECT_EQ(prepareSynth(song.data(), song.size(), patch), 1);
    FloatModeGuard mode;
    beginRender();
    SynthGraph& graph = synthGraph();
    for (uint32_t tick = 0; tick < ticks; ++tick) {
        sequencerStep(tick * 64);
        for (int32_t i = 0; i < 64; ++i) {
            UnitNode* master = graph.nodeTable[kMasterNodeIndex];
            master->tick(master);
            float pair[4];
            _mm_storeu_ps(pair, _mm_cvtpd_ps(master->output.v));
            out.frames.push_back(pair[0]);
            out.frames.push_back(pair[1]);
            ++graph.sampleCounter;
        }
        freeReleased();
    }
    out.noise = gNoiseState;
    releaseSynth();
    return out;
}

Rendered renderPlanned(const std::vector<uint8_t>& song, const uint16_t* patch, uint32_t ticks,
                       uint32_t* plannedSamples) {
    Rendered out;
    out.frames.resize(2 * size_t(ticks) * 64);
    EXPECT_EQ(renderSong(song.data(), song.size(), patch, out.frames.data(), ticks * 64), 1);
    out.noise = gNoiseState;
    *plannedSamples = synthGraph().plannedSampleCount;
    releaseSynth();
    return out;
}

// Two channels that meet every rule a plan has to keep. Channel 0: voices summing their own
// noise, a noise shared with channel 1 and the master, and a random value whose range holds that
// shared noise and is 0 in the voice's first sample, so that it is fixed in the second (which
// changes what is evaluated); its routing also pulls the shared noise, silently; it falls asleep
// after its notes and is woken again. Channel 1: voices reading their velocity and the shared noise, mixed
// with a loop through the channel's own output, and a shared product of a second shared noise,
// which the voices alone reach through the product. The master adds both noises once more.
PatchBuilder tangledPatch() {
    PatchBuilder patch;
    std::string zero = patch.constant(0.0f), one = patch.constant(1.0f), quarter = patch.constant(0.25f);
    std::string half = patch.constant(0.5f), short_ = patch.constant(0.05f);
    patch.node("master", UnitType::Add, {"mix", "noises"});
    for (int32_t c = 0; c < kChannelCount; ++c)
        patch.node("out" + std::to_string(c), UnitType::ChannelOutput,
                   {"route" + std::to_string(c), quarter});
    patch.node("route0", UnitType::Sum, {"poolA", "hush"});
    patch.node("route1", UnitType::Sum, {"poolB", "out1"});
    for (int32_t c = 2; c < kChannelCount; ++c) patch.node("route" + std::to_string(c), UnitType::Sum, {});
    std::vector<std::string> outputs;
    for (int32_t c = 0; c < kChannelCount; ++c) outputs.push_back("out" + std::to_string(c));
    patch.node("mix", UnitType::Sum, outputs);
    patch.node("noises", UnitType::Add, {"wobble", "fizz"});
    patch.node("wobble", UnitType::Noise, {zero, quarter});
    patch.node("hush", UnitType::Multiply, {"wobble", zero}); // pulls the shared noise, silently
    patch.node("fizz", UnitType::Noise, {zero, short_});
    patch.node("tint", UnitType::Multiply, {"fizz", half});
    for (std::string pool : {"A", "B"}) {
        std::string p = "pool" + pool, v = pool + ".";
        patch.node(p, UnitType::VoicePool, {v + "voice", zero, zero, zero},
                   {keyRange(0, 127), poolVoiceLimit(8)});
        patch.voiceNode(v + "voice", UnitType::VoiceOutput, {v + "signal", v + "env", v + "env"});
        patch.voiceNode(v + "env", UnitType::Envelope, {zero, zero, zero, short_, half, short_, one}, {0x70});
    }
    patch.voiceNode("A.signal", UnitType::Sum, {"A.noise", "wobble", "A.random"});
    patch.voiceNode("A.noise", UnitType::Noise, {half, half});
    patch.voiceNode("A.random", UnitType::RandomValue, {"A.range"});
    patch.voiceNode("A.range", UnitType::Multiply, {"A.opened", "wobble"}); // 0 in the first sample
    patch.voiceNode("A.opened", UnitType::Add, {"A.trigger", one});
    patch.voiceNode("A.trigger", UnitType::VoiceTrigger, {patch.constant(-1.0f)});
    patch.voiceNode("B.signal", UnitType::Sum, {"B.shaded", "tint"});
    patch.voiceNode("B.shaded", UnitType::Multiply, {"B.velocity", "wobble"});
    patch.voiceNode("B.velocity", UnitType::VoiceVelocity, {one});
    return patch;
}

class EvaluationPlanTest : public SynthTest {};

TEST_F(EvaluationPlanTest, PlansRenderWhatThePullRendersBitForBit) {
    SongBuilder tangled;
    tangled.noteOffs(0, {{40, 60}, {41, 64}, {3300, 67}})
        .noteOns(0, {{2, 60, 100}, {5, 64, 90}, {3200, 67, 110}})
        .noteOffs(1, {{30, 50}, {60, 52}})
        .noteOns(1, {{10, 50, 127}, {12, 52, 64}});
    size_t builtinBytes = 0;
    const uint8_t* builtin = builtinSongBytes(&builtinBytes);
    struct Case {
        const char* name;
        std::vector<uint8_t> song;
        std::vector<uint16_t> patch;
        uint32_t ticks;
    };
    const Case cases[] = {
        {"tangled", tangled.bytes(), tangledPatch().words(), 3400},
        {"built-in", std::vector<uint8_t>(builtin, builtin + builtinBytes),
         std::vector<uint16_t>(builtinPatchWords(), builtinPatchWords() + kPatchWordCount), 3000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rendered pulled = renderPulled(c.song, c.patch.data(), c.ticks);
        uint32_t planned = 0;
        Rendered viaPlans = renderPlanned(c.song, c.patch.data(), c.ticks, &planned);
        ASSERT_EQ(viaPlans.frames.size(), pulled.frames.size());
        size_t sounding = 0;
        for (size_t i = 0; i < pulled.frames.size(); ++i) {
            ASSERT_EQ(std::bit_cast<uint32_t>(viaPlans.frames[i]), std::bit_cast<uint32_t>(pulled.frames[i]))
                << "sample " << i / 2;
            sounding += pulled.frames[i] != 0.0f;
        }
        EXPECT_GT(sounding, pulled.frames.size() / 4);
        EXPECT_EQ(viaPlans.noise.lanes[0], pulled.noise.lanes[0]);
        EXPECT_EQ(viaPlans.noise.lanes[1], pulled.noise.lanes[1]);
        // Only the samples in which pools build voices are pulled.
        EXPECT_GT(planned, c.ticks * 64 * 9 / 10);
    }
}

} // namespace
