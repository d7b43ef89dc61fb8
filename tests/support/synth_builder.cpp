#include "support/synth_builder.h"

#include "songc/song_model.h"
#include "synth/patch.h"
#include "synth/song.h"

#include <bit>
#include <cstdio>
#include <cstdlib>

// A description that cannot become patch words is a fault of the test or benchmark using it.
[[noreturn]] static void builderMisuse(const char* what, const std::string& name) {
    std::fprintf(stderr, "patch builder: %s %s\n", what, name.c_str());
    std::abort();
}

namespace {

std::string constantName(float left, float right, bool isStereo) {
    char text[64];
    if (isStereo)
        std::snprintf(text, sizeof text, "const(%08x,%08x)", std::bit_cast<uint32_t>(left),
                      std::bit_cast<uint32_t>(right));
    else
        std::snprintf(text, sizeof text, "const(%08x)", std::bit_cast<uint32_t>(left));
    return text;
}

void putFloat(std::vector<uint16_t>& words, int32_t index, float value) {
    uint32_t bits = std::bit_cast<uint32_t>(value);
    words[index] = static_cast<uint16_t>(bits);
    words[index + 1] = static_cast<uint16_t>(bits >> 16);
}

void appendWord(std::vector<uint8_t>& bytes, uint32_t word) {
    for (int32_t i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(word >> (8 * i)));
}

void appendTimes(std::vector<uint8_t>& bytes, const std::vector<uint32_t>& ticks) {
    for (int32_t plane = 0; plane < 3; ++plane)
        for (uint32_t tick : ticks) bytes.push_back(static_cast<uint8_t>(tick >> (8 * plane)));
}

} // namespace

std::string PatchBuilder::node(const std::string& name, UnitType type, std::vector<std::string> inputs,
                               std::vector<uint16_t> params) {
    records.push_back({name, type, true, std::move(inputs), std::move(params)});
    return name;
}

std::string PatchBuilder::voiceNode(const std::string& name, UnitType type, std::vector<std::string> inputs,
                                    std::vector<uint16_t> params) {
    records.push_back({name, type, false, std::move(inputs), std::move(params)});
    return name;
}

std::string PatchBuilder::constant(float value) {
    std::string name = constantName(value, value, false);
    if (indexOf(name) < 0) constants.push_back({name, value, value, false});
    return name;
}

std::string PatchBuilder::constant(float left, float right) {
    std::string name = constantName(left, right, true);
    if (indexOf(name) < 0) constants.push_back({name, left, right, true});
    return name;
}

int32_t PatchBuilder::indexOf(const std::string& name) const {
    int32_t index = 0;
    for (const Record& record : records) {
        if (record.name == name) return index;
        index += 1 + static_cast<int32_t>(record.inputs.size() + record.params.size());
    }
    int32_t mono = kFirstConstantIndex, pair = kFirstStereoConstantIndex;
    for (const ConstantValue& value : constants) {
        if (value.name == name) return value.stereo ? pair : mono;
        (value.stereo ? pair : mono) += value.stereo ? 4 : 2;
    }
    return -1;
}

std::vector<uint16_t> PatchBuilder::words() const {
    std::vector<uint16_t> words(kPatchWordCount, 0);
    int32_t index = 0;
    for (const Record& record : records) {
        int32_t size = 1 + static_cast<int32_t>(record.inputs.size() + record.params.size());
        if (index + size > kFirstConstantIndex) {
            builderMisuse("patch records overflow the node area at", record.name);
            return words;
        }
        words[index] = recordHeader(static_cast<int32_t>(record.type),
                                    static_cast<int32_t>(record.inputs.size()), record.shared);
        for (size_t k = 0; k < record.inputs.size(); ++k) {
            int32_t target = indexOf(record.inputs[k]);
            if (target < 0) builderMisuse("unknown input", record.inputs[k]);
            words[index + 1 + k] = static_cast<uint16_t>(target < 0 ? 0 : target);
        }
        for (size_t k = 0; k < record.params.size(); ++k)
            words[index + 1 + record.inputs.size() + k] = record.params[k];
        index += size;
    }
    int32_t mono = kFirstConstantIndex, pair = kFirstStereoConstantIndex;
    for (const ConstantValue& value : constants) {
        if (value.stereo) {
            if (pair >= kNodeIndexLimit) {
                builderMisuse("more than 11 stereo constants", "");
                break;
            }
            putFloat(words, pair, value.left);
            putFloat(words, pair + 2, value.right);
            pair += 4;
        } else {
            if (mono >= kFirstStereoConstantIndex) {
                builderMisuse("more than 130 mono constants", "");
                break;
            }
            putFloat(words, mono, value.left);
            mono += 2;
        }
    }
    return words;
}

void addChannelFrame(PatchBuilder& patch, const std::vector<std::vector<std::string>>& poolsPerChannel) {
    std::string one = patch.constant(1.0f);
    patch.node("master", UnitType::Multiply, {"mix", one});
    std::vector<std::string> outputs;
    for (int32_t c = 0; c < kChannelCount; ++c)
        outputs.push_back(patch.node("out" + std::to_string(c), UnitType::ChannelOutput,
                                     {"route" + std::to_string(c), one}));
    for (int32_t c = 0; c < kChannelCount; ++c) {
        std::vector<std::string> pools;
        if (c < static_cast<int32_t>(poolsPerChannel.size())) pools = poolsPerChannel[c];
        patch.node("route" + std::to_string(c), UnitType::Sum, pools);
    }
    patch.node("mix", UnitType::Sum, outputs);
}

uint16_t poolVoiceLimit(int32_t voices) {
    int32_t select = voices >= 64 ? 0 : voices >= 32 ? 1 : voices >= 16 ? 2 : 3;
    return static_cast<uint16_t>(select << 13);
}

SongBuilder& SongBuilder::noteOffs(int32_t channel, const std::vector<NoteOffEvent>& events) {
    std::vector<uint8_t> planes;
    std::vector<uint32_t> ticks;
    for (const NoteOffEvent& event : events) ticks.push_back(event.tick);
    appendTimes(planes, ticks);
    for (const NoteOffEvent& event : events) planes.push_back(event.note);
    return rawStream(streamWord(channel, 0, 0, static_cast<uint32_t>(events.size())), planes);
}

SongBuilder& SongBuilder::noteOns(int32_t channel, const std::vector<NoteOnEvent>& events) {
    std::vector<uint8_t> planes;
    std::vector<uint32_t> ticks;
    for (const NoteOnEvent& event : events) ticks.push_back(event.tick);
    appendTimes(planes, ticks);
    for (const NoteOnEvent& event : events) planes.push_back(event.note);
    for (const NoteOnEvent& event : events) planes.push_back(event.velocity);
    return rawStream(streamWord(channel, kNoteOnStream, 0, static_cast<uint32_t>(events.size())), planes);
}

SongBuilder& SongBuilder::controller(int32_t channel, int32_t number,
                                     const std::vector<ControllerEvent>& events) {
    std::vector<uint8_t> planes;
    std::vector<uint32_t> ticks;
    for (const ControllerEvent& event : events) ticks.push_back(event.tick);
    appendTimes(planes, ticks);
    for (const ControllerEvent& event : events) planes.push_back(event.value);
    return rawStream(streamWord(channel, kControllerStream, number, static_cast<uint32_t>(events.size())), planes);
}

SongBuilder& SongBuilder::rawStream(uint32_t word, const std::vector<uint8_t>& planes) {
    appendWord(area, word);
    area.insert(area.end(), planes.begin(), planes.end());
    return *this;
}

std::vector<uint8_t> SongBuilder::plainArea() const {
    return area;
}

std::vector<uint8_t> SongBuilder::bytes() const {
    return encodeSongBytes({tempo, lengthSamples, samplesPerTick, 0}, area);
}
