// Builds synthesizer patches and songs from readable descriptions, for tests and tools.
#pragma once

#include "synth/unit_table.h"

#include <cstdint>
#include <string>
#include <vector>

// A patch assembled from named node records. Records are laid out back to back from word 0 in
// the order they are added; inputs name other records (added before or after) or constants
// made by constant(). Problems (an unknown name, records or constants that do not fit) end the
// program with a message when the words are taken.
struct PatchBuilder {
    struct Record {
        std::string name;
        UnitType type;
        bool shared;
        std::vector<std::string> inputs;
        std::vector<uint16_t> params;
    };
    struct ConstantValue {
        std::string name;
        float left;
        float right;
        bool stereo;
    };

    // Adds a shared node record; returns its name for use as an input.
    std::string node(const std::string& name, UnitType type, std::vector<std::string> inputs,
                     std::vector<uint16_t> params = {});
    // Adds a per-voice node record (instantiated for every voice that reaches it).
    std::string voiceNode(const std::string& name, UnitType type, std::vector<std::string> inputs,
                          std::vector<uint16_t> params = {});
    // A mono or stereo constant node; equal values share one node.
    std::string constant(float value);
    std::string constant(float left, float right);

    // Word index of a record or constant by name; -1 when unknown.
    int32_t indexOf(const std::string& name) const;
    // The kPatchWordCount patch words.
    std::vector<uint16_t> words() const;

    std::vector<Record> records;
    std::vector<ConstantValue> constants;
};

// Lays out the fixed frame of a patch: node 0 "master" (the product of "mix" and 1.0), channel
// c's output "out<c>" at word 3(c+1) (the product of "route<c>" and 1.0), the routing sums
// "route<c>" from word 51 over the pools listed for the channel, and "mix", the sum of the
// sixteen channel outputs. Pools and voices are added after it.
void addChannelFrame(PatchBuilder& patch, const std::vector<std::vector<std::string>>& poolsPerChannel);

// Parameter words.
inline uint16_t keyRange(int32_t lowest, int32_t highest) {
    return static_cast<uint16_t>(lowest | highest << 8);
}
// Pool flags for a voice limit of 64, 32, 16 or 8.
uint16_t poolVoiceLimit(int32_t voices);

struct NoteOnEvent {
    uint32_t tick;
    uint8_t note;
    uint8_t velocity;
};
struct NoteOffEvent {
    uint32_t tick;
    uint8_t note;
};
struct ControllerEvent {
    uint32_t tick;
    uint8_t value;
};

// A song: header fields and event streams in storage order.
struct SongBuilder {
    float tempo = 125.0f;
    int32_t lengthSamples = 0;
    int32_t samplesPerTick = 64;

    SongBuilder& noteOffs(int32_t channel, const std::vector<NoteOffEvent>& events);
    SongBuilder& noteOns(int32_t channel, const std::vector<NoteOnEvent>& events);
    SongBuilder& controller(int32_t channel, int32_t number, const std::vector<ControllerEvent>& events);
    // A stream word followed by its planes, as stored.
    SongBuilder& rawStream(uint32_t word, const std::vector<uint8_t>& planes);

    // The event area before delta coding (without the end marker).
    std::vector<uint8_t> plainArea() const;
    // Header, delta-coded event area and end marker.
    std::vector<uint8_t> bytes() const;

    std::vector<uint8_t> area;
};

