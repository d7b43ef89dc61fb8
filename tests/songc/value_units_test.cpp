// Musical units in the patch source: what each form stores, what is refused with its line,
// what the dump writes back, and what the synthesizer makes of the stored numbers.
#include "songc/songc.h"
#include "songc/unit_catalogue.h"

#include "synth/patch.h"
#include "synth/synth.h"
#include "synth/unit_table.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>
#include <vector>

namespace {

const char kHead[] = "master = { type = \"Multiply\", signal = \"ch0\", gain = 1.0 }\n"
                     "[channels.ch0]\nnumber = 0\n";

std::vector<uint16_t> compiled(const std::string& source) {
    std::vector<uint16_t> words;
    std::string error;
    EXPECT_TRUE(compilePatch(source, "p.toml", &words, &error)) << error << "\n" << source;
    return words;
}

float constantAt(const std::vector<uint16_t>& words, int index) {
    return std::bit_cast<float>(uint32_t(words[index]) | uint32_t(words[index + 1]) << 16);
}

// The left and right value of input k of the first record of `type`.
std::pair<float, float> inputOf(const std::vector<uint16_t>& words, UnitType type, int k) {
    for (int at = 0; at < kFirstConstantIndex && words[at];) {
        const int count = recordInputCount(words[at]);
        if (recordType(words[at]) == int(type)) {
            const int input = words[at + 1 + k];
            return {constantAt(words, input),
                    constantAt(words, input >= kFirstStereoConstantIndex ? input + 2 : input)};
        }
        at += 1 + count + unitByType(recordType(words[at]))->paramWords;
    }
    ADD_FAILURE() << "no record of type " << int(type);
    return {0, 0};
}

// A node line of `type` with `defaults` ("key = value, ...") where `fields` replace them.
std::string nodeLine(const std::string& head, std::string defaults, const std::string& fields) {
    size_t from = 0;
    while (from < fields.size()) {
        const size_t equals = fields.find(" = ", from);
        if (equals == std::string::npos) break;
        const std::string key = fields.substr(from, equals - from);
        // A value runs to the next ", " outside a pair's brackets.
        size_t end = fields.find(fields[equals + 3] == '[' ? "]" : ",", equals);
        end = end == std::string::npos ? fields.size() : end + (fields[equals + 3] == '[');
        const std::string value = fields.substr(equals + 3, end - equals - 3);
        const size_t at = defaults.find(key + " = ");
        if (at == std::string::npos) {
            defaults += ", " + key + " = " + value;
        } else {
            const size_t stop = std::min(defaults.find(", ", at), defaults.size());
            defaults.replace(at, stop - at, key + " = " + value);
        }
        from = end + 2;
    }
    return head + defaults + " }\n";
}

std::string oscillator(const std::string& fields) {
    return nodeLine(
        std::string(kHead) + "pools = [ { instrument = \"i\" } ]\n[instruments.i]\n"
                             "out = { type = \"VoiceOutput\", signal = \"o\", gain = 1.0, active = 1.0 }\n"
                             "o = { type = \"Oscillator\", ",
        "fm = 0.0, phase = 0.0, width = 1.0, transpose = 0.0, fine = 0.0, amplitude = 1.0, detune = 0.0, "
        "keytrack = true",
        fields);
}

std::string envelope(const std::string& fields) {
    return nodeLine(
        std::string(kHead) + "[nodes]\ne = { type = \"Envelope\", ",
        "trigger = 0.0, gate = 0.0, attack = 0.0, decay = 0.0, sustain = 1.0, release = 0.0, gain = 1.0",
        fields);
}

TEST(ValueUnits, EachFormStoresTheNumberItsRoleReads) {
    const struct {
        std::string source;
        UnitType type;
        int input;
        float left, right, tolerance;
    } cases[] = {
        // 1/128 per semitone; a cent is a hundredth of one.
        {oscillator("transpose = \"-12 st\""), UnitType::Oscillator, 3, -0.09375f, -0.09375f, 0},
        {oscillator("transpose = \"50 cents\""), UnitType::Oscillator, 3, 0.00390625f, 0.00390625f, 0},
        // Fine tune is 1/128 per cent.
        {oscillator("fine = [\"-8 cents\", \"8 cents\"]"), UnitType::Oscillator, 4, -0.0625f, 0.0625f, 0},
        {oscillator("fine = \"1 st\""), UnitType::Oscillator, 4, 0.78125f, 0.78125f, 0},
        {oscillator("amplitude = \"-20 dB\""), UnitType::Oscillator, 5, 0.1f, 0.1f, 1e-7f},
        {std::string(kHead) + "pools = [ { instrument = \"i\", transpose = \"7 st\" } ]\n[instruments.i]\n"
                              "out = { type = \"VoiceOutput\", signal = 1.0, gain = 1.0, active = 1.0 }\n",
         UnitType::VoicePool, 1, 0.0546875f, 0.0546875f, 0},
        {std::string(kHead) + "volume = \"-6.0206 dB\"", UnitType::ChannelOutput, 1, 0.5f, 0.5f, 1e-6f},
        // An envelope segment of x lasts x^3 * 418,381.75 + 1 samples: x = 1 is 9.4871372 s and
        // x = 0.5 is 1185.912 ms; one sample or less is 0.
        {envelope("attack = \"9.4871372 s\""), UnitType::Envelope, 2, 1.0f, 1.0f, 1e-7f},
        {envelope("decay = \"1185.912 ms\""), UnitType::Envelope, 3, 0.5f, 0.5f, 1e-6f},
        {envelope("release = \"0.02 ms\""), UnitType::Envelope, 5, 0.0f, 0.0f, 0},
        // The envelope's gain is a factor, or on the level curve with level_gain: 6.0206 dB
        // doubles the gain there, 6/128 above unity's 0.75.
        {envelope("gain = \"-6.0206 dB\""), UnitType::Envelope, 6, 0.5f, 0.5f, 1e-6f},
        {envelope("gain = \"6.0206 dB\", level_gain = true"), UnitType::Envelope, 6, 0.796875f, 0.796875f,
         1e-6f},
        {std::string(kHead) +
             "[nodes]\nq = { type = \"ThreeBandEq\", signal = 0.0, low = \"0 dB\", mid = \"-12.0412 dB\", "
             "high = 0.5 }",
         UnitType::ThreeBandEq, 2, 0.65625f, 0.65625f, 1e-6f},
    };
    for (const auto& c : cases) {
        const auto [left, right] = inputOf(compiled(c.source), c.type, c.input);
        EXPECT_NEAR(left, c.left, c.tolerance) << c.source;
        EXPECT_NEAR(right, c.right, c.tolerance) << c.source;
    }
}

TEST(ValueUnits, BadValuesAreRefusedWithTheirLine) {
    const std::string finite =
        "p.toml:5: input 'gain' must be a node name, a finite number (or one with a unit) or a pair of them";
    const std::pair<std::string, std::string> cases[] = {
        {envelope("attack = \"12 ms\", decay = \"0.2 s\", release = \"1e2ms\""), ""},
        {std::string(kHead) + "[nodes]\nm = { type = \"Multiply\", signal = 0.0, gain = nan }", finite},
        {std::string(kHead) + "[nodes]\nm = { type = \"Multiply\", signal = 0.0, gain = -inf }", finite},
        {std::string(kHead) + "[nodes]\nm = { type = \"Multiply\", signal = 0.0, gain = 1e39 }", finite},
        {std::string(kHead) + "[nodes]\nm = { type = \"Multiply\", signal = 0.0, gain = [0.5, nan] }",
         finite},
        {std::string(kHead) + "volume = inf",
         "p.toml:4: input 'volume' must be a node name, a finite number"},
        {std::string(kHead) + "[nodes]\nm = { type = \"Multiply\", signal = 0.0, gain = \"1000 dB\" }",
         "p.toml:5: '1000 dB': input 'gain' is out of range for the synthesizer's numbers"},
        {std::string(kHead) + "[nodes]\nm = { type = \"Multiply\", signal = 0.0, gain = \"- 6 dB\" }",
         "p.toml:5: '- 6 dB': input 'gain' is a number and a unit (dB)"},
        {envelope("attack = \"-6 dB\""), "p.toml:5: '-6 dB': input 'attack' takes a time in s or ms"},
        {envelope("attack = \"-1 ms\""), "p.toml:5: '-1 ms': input 'attack' takes a time of 0 s or more"},
        {envelope("gain = \"2 st\""), "p.toml:5: '2 st': input 'gain' takes a level in dB"},
        {oscillator("transpose = \"3 hz\""), "p.toml:7: '3 hz': input 'transpose' takes st or cents"},
        {oscillator("phase = \"3 st\""),
         "p.toml:7: '3 st': input 'phase' takes a plain number or a node name, no unit"},
        {std::string(kHead) + "pools = [ { instrument = \"i\", transpose = \"0 dB\" } ]\n[instruments.i]\n"
                              "out = { type = \"VoiceOutput\", signal = 1.0, gain = 1.0, active = 1.0 }\n",
         "p.toml:4: '0 dB': input 'transpose' takes st or cents"},
    };
    for (const auto& [source, expected] : cases) {
        std::vector<uint16_t> words;
        std::string error;
        EXPECT_EQ(compilePatch(source, "p.toml", &words, &error), expected.empty()) << source << "\n"
                                                                                    << error;
        EXPECT_EQ(error.substr(0, expected.size()), expected) << source;
    }
}

TEST(ValueUnits, DumpWritesUnitsThatReadBackToTheSameNumber) {
    const std::vector<uint16_t> words = compiled(
        oscillator("transpose = \"-12 st\", fine = [\"-8 cents\", \"8 cents\"], amplitude = 0.296875") +
        "e = { type = \"Envelope\", trigger = 0.0, gate = 0.0, attack = \"440 ms\", decay = 0.359375, "
        "sustain = 1.0, release = \"0 s\", gain = \"-6 dB\", level_gain = true }\n");
    std::string text, error;
    ASSERT_TRUE(dumpPatch(words.data(), &text, &error)) << error;
    for (const char* written : {"transpose = \"-12 st\"", "fine = [\"-8 cents\", \"8 cents\"]",
                                "attack = \"440 ms\"", "release = \"0 s\"", "gain = \"-6 dB\""})
        EXPECT_NE(text.find(written), std::string::npos) << written << " in\n" << text;
    // No six digits of dB or seconds read back to these: they stay numbers.
    for (const char* raw : {"amplitude = 0.296875", "decay = 0.359375"})
        EXPECT_NE(text.find(raw), std::string::npos) << raw << " in\n" << text;
    std::vector<uint16_t> again;
    ASSERT_TRUE(compilePatch(text, "dump.toml", &again, &error)) << error;
    EXPECT_EQ(again, words);
}

int crossings(const std::vector<float>& frames, size_t from, size_t count) {
    int n = 0;
    for (size_t i = from + 1; i < from + count; ++i) n += (frames[2 * i] >= 0) != (frames[2 * (i - 1)] >= 0);
    return n;
}

// The synthesizer's own reading of the stored numbers: an A4 an octave up, a tone at half its
// level, and an attack that takes half a second.
TEST(ValueUnits, TheSynthesizerHearsTheUnits) {
    const std::string patch =
        std::string(kHead) +
        "volume = \"-6.0206 dB\"\npools = [ { instrument = \"i\" } ]\n[instruments.i]\n"
        "out = { type = \"VoiceOutput\", signal = \"o\", gain = \"e\", active = 1.0 }\n"
        "o = { type = \"Oscillator\", fm = 0.0, phase = 0.25, width = 1.0, transpose = \"12 st\", "
        "fine = \"-100 cents\", amplitude = \"0 dB\", detune = 0.0, keytrack = true }\n"
        "e = { type = \"Envelope\", trigger = 0.0, gate = 0.0, attack = \"500 ms\", decay = 0.0, "
        "sustain = 1.0, release = 0.0, gain = 1.0, voice_trigger = true, voice_gate = true }\n";
    const std::string song =
        "[patterns]\np = \"A4:1\"\n[[arrangement]]\nat = \"1:1\"\nchannel = 0\nplay = \"p\"\n"
        "articulation = \"/1*4\"";
    std::vector<uint16_t> words = compiled(patch);
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(compileSong(song, "s.toml", words.data(), &bytes, &error)) << error;
    constexpr uint32_t kFrames = 88200;
    std::vector<float> out(2 * kFrames);
    ASSERT_EQ(renderSong(bytes.data(), bytes.size(), words.data(), out.data(), kFrames), 1);
    releaseSynth();
    // 12 semitones up and a semitone down from 440 Hz: 830.6 Hz, 1661 zero crossings a second.
    EXPECT_NEAR(crossings(out, 44100, 44100), 1661, 2);
    float peak = 0, early = 0;
    for (size_t i = 0; i < kFrames; ++i) peak = std::max(peak, std::fabs(out[2 * i]));
    for (size_t i = 0; i < 21000; ++i) early = std::max(early, std::fabs(out[2 * i]));
    EXPECT_NEAR(peak, 0.5f, 0.001f);
    // At 21,000 of the attack's 22,050 samples the level is 95 % of the way up.
    EXPECT_NEAR(early, 0.5f * 21000 / 22050, 0.01f);
}

} // namespace
