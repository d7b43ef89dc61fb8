#include "songc/unit_catalogue.h"

#include "synth/unit_table.h"

namespace {

// The units inputs take (value_units.h).
constexpr ValueUnit kPitch = ValueUnit::Pitch, kFine = ValueUnit::FineTune, kTime = ValueUnit::Time,
                    kGain = ValueUnit::Gain, kLevel = ValueUnit::Level,
                    kEnvelopeGain = ValueUnit::EnvelopeGain;

const InputRole kTwo[] = {{"signal"}, {"gain", kGain}, {nullptr}};
const InputRole kPool[] = {{"template"}, {"transpose", kPitch}, {"spare1"}, {"spare2"}, {nullptr}};
const InputRole kVoiceOutput[] = {{"signal"}, {"gain", kGain}, {"active"}, {nullptr}};
const InputRole kEnvelope[] = {{"trigger"}, {"gate"},           {"attack", kTime},       {"decay", kTime},
                               {"sustain"}, {"release", kTime}, {"gain", kEnvelopeGain}, {nullptr}};
const InputRole kLfo[] = {{"rate"}, {"phase"}, {"width"}, {"amount"}, {nullptr}};
const InputRole kOscillator[] = {
    {"fm"},     {"phase"}, {"width"}, {"transpose", kPitch}, {"fine", kFine}, {"amplitude", kGain},
    {"detune"}, {nullptr}};
const InputRole kNoise[] = {{"colour"}, {"amount", kGain}, {nullptr}};
const InputRole kBiquad[] = {{"signal"}, {"cutoff"}, {"resonance"}, {"shelf"}, {nullptr}};
const InputRole kPanner[] = {{"signal"}, {"position"}, {nullptr}};
const InputRole kAdd[] = {{"a"}, {"b"}, {nullptr}};
const InputRole kCrossfade[] = {{"a"}, {"b"}, {"amount"}, {nullptr}};
const InputRole kSignal[] = {{"signal"}, {nullptr}};
const InputRole kEnvelopeActive[] = {{"envelope"}, {nullptr}};
const InputRole kScale[] = {{"scale"}, {nullptr}};
const InputRole kShaper[] = {{"signal"}, {"drive"}, {"level", kLevel}, {nullptr}};
const InputRole kBlend[] = {{"signal"}, {"amount"}, {nullptr}};
const InputRole kDelay[] = {{"signal"}, {"time"}, {nullptr}};
const InputRole kEcho[] = {{"signal"}, {"time"}, {"feedback"}, {"damping"}, {"mix"}, {nullptr}};
const InputRole kDcBlocker[] = {{"signal"}, {"pole"}, {nullptr}};
const InputRole kRange[] = {{"range"}, {nullptr}};
const InputRole kReverb[] = {{"signal"}, {"gain", kGain}, {"room"}, {"damping"},
                             {"mix"},    {"width"},       {nullptr}};
const InputRole kGraphicEq[] = {{"signal"},        {"hz31", kLevel},  {"hz62", kLevel},  {"hz125", kLevel},
                                {"hz250", kLevel}, {"hz500", kLevel}, {"hz1k", kLevel},  {"hz2k", kLevel},
                                {"hz4k", kLevel},  {"hz8k", kLevel},  {"hz16k", kLevel}, {nullptr}};
const InputRole kSampler[] = {{"source"}, {"start"},  {"pitch"},     {"direction"},
                              {"loop_a"}, {"loop_b"}, {"crossfade"}, {nullptr}};
const InputRole kSvf[] = {{"signal"}, {"cutoff"}, {"resonance"}, {nullptr}};
const InputRole kNone[] = {{nullptr}};
const InputRole kSampleHold[] = {{"signal"}, {"rate"}, {nullptr}};
const InputRole kThreeBand[] = {{"signal"}, {"low", kLevel}, {"mid", kLevel}, {"high", kLevel}, {nullptr}};

const char* const kWaves[] = {
    "sine", "saw", "square", "triangle", nullptr, "double_triangle", "double_pulse", "random_harmonic"};
const char* const kBiquadModes[] = {"lowpass", "highpass", "bandpass", "bandpass_peak",
                                    "notch",   nullptr,    nullptr,    "lowshelf"};
const char* const kLanes[] = {"left", "right"};
const char* const kCurves[] = {"saturate", "expand", nullptr, nullptr, "sine"};
const char* const kTimeModes[] = {"tempo", "short", "medium", "long", "samples"};
const char* const kResponses[] = {nullptr, "lowpass", "highpass", "notch", "bandpass",
                                  nullptr, nullptr,   nullptr,    nullptr, "peak"};

constexpr ParamField choice(const char* key, int shift, int width, const char* const* names, int count) {
    return {key, 0, shift, width, FieldKind::Choice, names, count, 0};
}
constexpr ParamField flag(const char* key, int bit) {
    return {key, 0, bit, 1, FieldKind::Flag, nullptr, 0, 0};
}
constexpr ParamField number(const char* key, int shift, int width, int offset = 0) {
    return {key, 0, shift, width, FieldKind::Number, nullptr, 0, offset};
}
constexpr ParamField sections(const char* key) {
    return {key, 0, 8, 4, FieldKind::Sections, nullptr, 0, 0};
}

#define ROW(type, inputs, words, ...)                                                                        \
    { int(UnitType::type), #type, inputs, words, {__VA_ARGS__}, 0, true }

UnitInfo kUnitCatalogue[] = {
    ROW(Multiply, kTwo, 0),
    {int(UnitType::ChannelOutput), "ChannelOutput", kTwo, 0, {}, 0, false},
    ROW(Sum, nullptr, 0),
    {int(UnitType::VoicePool),
     "VoicePool",
     kPool,
     2,
     {{"keys", 0, 0, 16, FieldKind::KeyRange, nullptr, 0, 0},
      {"voices", 1, 13, 2, FieldKind::Voices, nullptr, 0, 0}},
     0,
     false},
    ROW(VoiceOutput, kVoiceOutput, 0),
    ROW(Envelope, kEnvelope, 1, flag("voice_trigger", 4), flag("voice_gate", 5), flag("exponential", 6),
        flag("level_gain", 7)),
    ROW(Lfo, kLfo, 1, choice("wave", 0, 8, kWaves, 8), flag("negative", 8), flag("bipolar", 9),
        flag("tempo_sync", 11)),
    ROW(Oscillator, kOscillator, 1, choice("wave", 0, 8, kWaves, 8), number("unison", 8, 3, 1),
        flag("keytrack", 11), flag("random_phase", 12)),
    ROW(Noise, kNoise, 0),
    ROW(BiquadFilter, kBiquad, 1, choice("mode", 0, 4, kBiquadModes, 8), flag("squared", 6),
        flag("note_cutoff", 7), sections("sections")),
    ROW(Panner, kPanner, 0),
    ROW(Multiply15, kTwo, 0),
    ROW(Add, kAdd, 0),
    ROW(Crossfade, kCrossfade, 0),
    ROW(Sum21, nullptr, 0),
    ROW(ChannelSelect, kSignal, 1, choice("lane", 0, 16, kLanes, 2)),
    ROW(EnvelopeActive, kEnvelopeActive, 0),
    ROW(Controller, kScale, 1, number("controller", 0, 7), number("channel", 7, 4)),
    ROW(Shaper, kShaper, 1, choice("curve", 0, 16, kCurves, 5)),
    ROW(ChannelBlend, kBlend, 0),
    ROW(Delay, kDelay, 1, choice("time_mode", 0, 4, kTimeModes, 5)),
    ROW(EchoDelay, kEcho, 1, choice("time_mode", 0, 4, kTimeModes, 5), flag("ping_pong", 7)),
    ROW(DcBlocker, kDcBlocker, 0),
    ROW(RandomValue, kRange, 0),
    ROW(Reverb, kReverb, 0),
    ROW(GraphicEq, kGraphicEq, 0),
    ROW(Sampler, kSampler, 1, flag("loop", 3)),
    ROW(StateVariableFilter, kSvf, 1, choice("response", 0, 4, kResponses, 10), flag("squared", 6),
        flag("note_cutoff", 7), sections("stages")),
    ROW(Negate, kSignal, 0),
    ROW(SampleSource, kNone, 1, number("wave", 0, 16)),
    ROW(SampleHold, kSampleHold, 1, flag("track_hold", 4), flag("squared", 6), flag("note_cutoff", 7)),
    ROW(ThreeBandEq, kThreeBand, 0),
    {int(UnitType::Constant), "Constant", kNone, 0, {}, 0, false},
    ROW(VoiceIncrement, kScale, 0),
    ROW(VoiceNote, kScale, 0),
    ROW(VoiceVelocity, kScale, 0),
    ROW(VoiceTrigger, kScale, 0),
    ROW(VoiceGate, kScale, 0),
    ROW(VoiceSpare, kScale, 0),
};
#undef ROW

// The field counts follow from the rows (the first field without a key ends them).
bool countFields() {
    for (UnitInfo& unit : kUnitCatalogue) {
        unit.fieldCount = 0;
        while (unit.fieldCount < kMaxFields && unit.fields[unit.fieldCount].key) ++unit.fieldCount;
    }
    return true;
}
const bool kCounted = countFields();

} // namespace

const UnitInfo* unitByType(int type) {
    (void)kCounted;
    for (const UnitInfo& unit : kUnitCatalogue)
        if (unit.type == type) return &unit;
    return nullptr;
}

const UnitInfo* unitByName(const std::string& name) {
    (void)kCounted;
    for (const UnitInfo& unit : kUnitCatalogue)
        if (name == unit.name) return &unit;
    return nullptr;
}

int unitInputCount(const UnitInfo& unit) {
    if (!unit.inputs) return -1;
    int count = 0;
    while (unit.inputs[count].name) ++count;
    return count;
}

uint16_t fieldBits(const ParamField& field, int value) {
    int stored = value;
    switch (field.kind) {
    case FieldKind::Number:
        stored = value - field.offset;
        break;
    case FieldKind::Sections:
        stored = value / 2;
        break;
    case FieldKind::Voices:
        stored = value == 64 ? 0 : value == 32 ? 1 : value == 16 ? 2 : 3;
        break;
    default:
        break;
    }
    const uint32_t mask = (1u << field.width) - 1;
    return uint16_t((uint32_t(stored) & mask) << field.shift);
}

bool fieldValue(const ParamField& field, const uint16_t* words, int* value) {
    const int stored = int((words[field.word] >> field.shift) & ((1u << field.width) - 1));
    switch (field.kind) {
    case FieldKind::Choice:
        if (stored >= field.nameCount || !field.names[stored]) return false;
        *value = stored;
        return true;
    case FieldKind::Number:
        *value = stored + field.offset;
        return true;
    case FieldKind::Sections:
        *value = stored == 0 ? 1 : 2 * stored;
        return true;
    case FieldKind::Voices:
        *value = 64 >> stored;
        return true;
    default:
        *value = stored;
        return true;
    }
}
