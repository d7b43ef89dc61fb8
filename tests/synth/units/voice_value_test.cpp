// VoiceValue: the fields of the voice being evaluated, scaled by the input's current value.
#include "support/synth_test.h"
#include "support/unit_harness.h"

#include <gtest/gtest.h>

namespace {

VoiceSlot sampleVoice(double velocity) {
    VoiceSlot voice{};
    voice.note = 60;
    voice.baseIncrement = stereo(0.005);
    voice.noteValue = stereo(60 / 128.0);
    voice.increment = stereo(0.0125, 0.0126);
    voice.noteShifted = stereo(61 / 128.0);
    voice.velocity = stereo(velocity);
    voice.trigger = stereo(1.0);
    voice.gate = stereo(0.0);
    return voice;
}

TEST(VoiceValueTest, EachTypeReadsItsFieldTimesTheInput) {
    VoiceSlot voice = sampleVoice(100 / 128.0);
    struct Case {
        UnitType type;
        double input;
        Stereo expected;
    };
    const Case cases[] = {
        {UnitType::VoiceIncrement, 1.0, stereo(0.0125, 0.0126)},
        {UnitType::VoiceNote, 0.25, stereo(61 / 512.0)},
        {UnitType::VoiceVelocity, 1.0, stereo(100 / 128.0)},
        {UnitType::VoiceVelocity, -0.03125, stereo(-100 / 4096.0)},
        {UnitType::VoiceTrigger, 0.25, stereo(0.25)},
        {UnitType::VoiceGate, 1.0, stereo(0.0)},
        {UnitType::VoiceSpare, 1.0, stereo(0.0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(unitTypeName(static_cast<int32_t>(c.type)));
        UnitHarness h;
        synthGraph().currentVoice = &voice;
        UnitNode* value = h.unit(c.type, {h.probe(c.input)});
        Stereo out = h.step(value);
        EXPECT_EQ(leftOf(out), leftOf(c.expected));
        EXPECT_EQ(rightOf(out), rightOf(c.expected));
    }
}

// A pool evaluates its voices one after another within a sample; each must see its own field.
TEST(VoiceValueTest, ReadsTheCurrentVoiceEveryTimeWithinOneSample) {
    UnitHarness h;
    VoiceSlot soft = sampleVoice(20 / 128.0), loud = sampleVoice(127 / 128.0);
    UnitNode* velocity = h.unit(UnitType::VoiceVelocity, {h.probe(1.0)});
    synthGraph().currentVoice = &soft;
    velocity->tick(velocity);
    EXPECT_EQ(leftOf(velocity->output), 20 / 128.0);
    synthGraph().currentVoice = &loud;
    velocity->tick(velocity);
    EXPECT_EQ(leftOf(velocity->output), 127 / 128.0);
    synthGraph().currentVoice = nullptr; // outside any voice: the silent slot
    velocity->tick(velocity);
    EXPECT_EQ(leftOf(velocity->output), 0.0);
}

class VoiceValueSongTest : public SynthTest {};

// Two notes started together in one pool: each voice outputs its own velocity / 128, and the
// rendered mix is their sum, from the first frame on.
TEST_F(VoiceValueSongTest, EveryVoiceOfAPoolReadsItsOwnVelocity) {
    PatchBuilder patch;
    addChannelFrame(patch, {{"pool"}});
    std::string zero = patch.constant(0.0f), one = patch.constant(1.0f);
    patch.node("pool", UnitType::VoicePool, {"voice", zero, zero, zero},
               {keyRange(0, 127), poolVoiceLimit(8)});
    patch.voiceNode("voice", UnitType::VoiceOutput, {"velocity", one, one});
    patch.voiceNode("velocity", UnitType::VoiceVelocity, {one});
    SongBuilder song;
    song.noteOns(0, {{0, 60, 100}, {0, 64, 20}});
    prepare(song, patch);
    std::vector<float> frames = render(128);
    for (size_t i = 0; i < 128; ++i) {
        ASSERT_EQ(leftFrame(frames, i), 120.0f / 128.0f) << i;
        ASSERT_EQ(rightFrame(frames, i), 120.0f / 128.0f) << i;
    }
}

} // namespace
