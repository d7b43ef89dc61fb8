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

} // namespace
