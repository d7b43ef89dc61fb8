// The built-in song and patch, assembled at compile time from the tables below: a bass line and
// an arpeggio over a four-chord loop, on channels 0 and 1, for the whole length of the show.
#include "synth/builtin_song.h"

#include "synth/patch.h"
#include "synth/song.h"
#include "synth/unit_table.h"

#include <array>
#include <bit>

namespace {

// ---- Patch -----------------------------------------------------------------------------------

// An input is a record's position in the record list, or a constant from kConstantBase on.
constexpr int32_t kConstantBase = 1000;
constexpr int32_t kNoInput = -1;

enum Constant : int32_t {
    Zero = kConstantBase,
    One,
    Half,
    BassLevel,
    LeadLevel,
    Attack,
    BassDecay,
    LeadDecay,
    Sustain,
    Release,
    ConstantCount
};
constexpr float kConstantValues[ConstantCount - kConstantBase] = {
    0.0f, 1.0f, 0.5f, 0.22f, 0.12f, 0.05f, 0.35f, 0.25f, 0.55f, 0.3f,
};

struct PatchRecord {
    UnitType type;
    bool shared;
    std::array<int32_t, kUnitMaxInputs> inputs;
    std::array<uint16_t, 2> params;
    int32_t paramCount;
};

constexpr int32_t kRecordRoom = 64;

struct RecordList {
    std::array<PatchRecord, kRecordRoom> records{};
    int32_t count = 0;

    constexpr int32_t add(UnitType type, bool shared, std::initializer_list<int32_t> inputs,
                          std::initializer_list<uint16_t> params = {}) {
        PatchRecord& record = records[count];
        record = {type, shared, {}, {}, 0};
        record.inputs.fill(kNoInput);
        int32_t k = 0;
        for (int32_t input : inputs) record.inputs[k++] = input;
        for (uint16_t param : params) record.params[record.paramCount++] = param;
        return count++;
    }
};

constexpr uint16_t kEnvelopeFromVoice = 0x30; // trigger and gate from the voice
constexpr uint16_t kOscillatorKeyTracking = 0x800;
constexpr uint16_t kSaw = 1, kTriangle = 3;
constexpr uint16_t kEightVoices = 3 << 13;

constexpr uint16_t keyRange(int32_t lowest, int32_t highest) {
    return uint16_t(lowest | highest << 8);
}

// One pool of voices: an oscillator shaped by an envelope that also ends the voice.
constexpr int32_t addPool(RecordList& list, int32_t lowest, int32_t highest, uint16_t waveform,
                          Constant level, Constant decay) {
    // The pool's template input refers to the voice record, which follows it.
    const int32_t pool = list.add(UnitType::VoicePool, true, {list.count + 1, Zero, Zero, Zero},
                                  {keyRange(lowest, highest), kEightVoices});
    const int32_t voice = list.count;
    list.add(UnitType::VoiceOutput, false, {voice + 1, voice + 2, voice + 2});
    list.add(UnitType::Oscillator, false, {Zero, Zero, Half, Zero, Zero, level, Zero},
             {uint16_t(waveform | kOscillatorKeyTracking)});
    list.add(UnitType::Envelope, false, {Zero, Zero, Attack, decay, Sustain, Release, One},
             {kEnvelopeFromVoice});
    return pool;
}

// Records in storage order. The layout the synthesizer relies on: node 0 the master, channel c's
// output at word 3(c+1), the sixteen routing sums from word 51.
constexpr RecordList placeholderRecords() {
    RecordList list;
    constexpr int32_t kFirstOutput = 1, kFirstRoute = 17, kMix = 33, kBassPool = 34;
    list.add(UnitType::Multiply, true, {kMix, One});
    for (int32_t c = 0; c < kChannelCount; ++c)
        list.add(UnitType::ChannelOutput, true, {kFirstRoute + c, One});
    constexpr int32_t kLeadPool = kBassPool + 4;
    list.add(UnitType::Sum, true, {kBassPool});
    list.add(UnitType::Sum, true, {kLeadPool});
    for (int32_t c = 2; c < kChannelCount; ++c) list.add(UnitType::Sum, true, {});
    list.add(UnitType::Sum, true,
             {kFirstOutput + 0, kFirstOutput + 1, kFirstOutput + 2, kFirstOutput + 3, kFirstOutput + 4,
              kFirstOutput + 5, kFirstOutput + 6, kFirstOutput + 7, kFirstOutput + 8, kFirstOutput + 9,
              kFirstOutput + 10, kFirstOutput + 11, kFirstOutput + 12, kFirstOutput + 13, kFirstOutput + 14,
              kFirstOutput + 15});
    addPool(list, 24, 59, kSaw, BassLevel, BassDecay);
    addPool(list, 60, 96, kTriangle, LeadLevel, LeadDecay);
    return list;
}

struct PatchAssembly {
    std::array<uint16_t, kPatchWordCount> words{};
    bool valid = true;
};

constexpr int32_t recordWords(const PatchRecord& record) {
    int32_t inputs = 0;
    while (inputs < kUnitMaxInputs && record.inputs[inputs] != kNoInput) ++inputs;
    return 1 + inputs + record.paramCount;
}

constexpr void putFloat(PatchAssembly& patch, int32_t index, float value) {
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    patch.words[index] = uint16_t(bits);
    patch.words[index + 1] = uint16_t(bits >> 16);
}

constexpr PatchAssembly assemblePatch(const RecordList& list) {
    PatchAssembly patch;
    std::array<int32_t, kRecordRoom> at{};
    int32_t next = 0;
    for (int32_t r = 0; r < list.count; ++r) {
        at[r] = next;
        next += recordWords(list.records[r]);
    }
    if (next > kFirstConstantIndex) patch.valid = false;
    for (int32_t r = 0; r < list.count && patch.valid; ++r) {
        const PatchRecord& record = list.records[r];
        const int32_t inputs = recordWords(record) - 1 - record.paramCount;
        int32_t w = at[r];
        // The header word: type in bits 0-6, input count in bits 8-14, the shared flag in bit 15.
        patch.words[w++] = uint16_t(int32_t(record.type) | inputs << 8 | (record.shared ? 0x8000 : 0));
        for (int32_t k = 0; k < inputs; ++k) {
            const int32_t input = record.inputs[k];
            if (input >= kConstantBase && input < ConstantCount) {
                patch.words[w++] = uint16_t(kFirstConstantIndex + 2 * (input - kConstantBase));
            } else if (input >= 0 && input < list.count) {
                patch.words[w++] = uint16_t(at[input]);
            } else {
                patch.valid = false;
            }
        }
        for (int32_t k = 0; k < record.paramCount; ++k) patch.words[w++] = record.params[k];
    }
    for (int32_t c = 0; c < ConstantCount - kConstantBase; ++c)
        putFloat(patch, kFirstConstantIndex + 2 * c, kConstantValues[c]);
    // The conventions the sequencer and the render loop rely on.
    for (int32_t c = 0; c < kChannelCount; ++c)
        if (at[1 + c] != 3 * (c + 1)) patch.valid = false;
    if (at[17] != kFirstRoutingIndex) patch.valid = false;
    return patch;
}

constexpr PatchAssembly kPatch = assemblePatch(placeholderRecords());
static_assert(kPatch.valid, "the built-in patch does not assemble");

// ---- Song ------------------------------------------------------------------------------------

constexpr int32_t kSongFrames = 9733716;
constexpr int32_t kSamplesPerTick = 64;
constexpr float kTempo = 125.0f;
// The sequencer tick at a clock tick (an eighth of a beat, 32 to the bar): 44100 * 60 / 125 / 64 / 8
// = 41.34375 sequencer ticks per clock tick, rounded down.
constexpr uint32_t clockTick(uint32_t tick) {
    return tick * 1323 / 32;
}

constexpr int32_t kBars = 112;                       // the loop ends a few beats before the song does
constexpr uint8_t kChordRoots[4] = {45, 41, 48, 43}; // A, F, C, G
constexpr bool kChordMinor[4] = {true, false, false, false};

struct NoteEvent {
    uint32_t tick;
    uint8_t note;
    uint8_t velocity;
};

// Channel 0: the chord's root twice a bar. Channel 1: root, third, fifth and octave as quarters.
constexpr int32_t kBassNotesPerBar = 2, kLeadNotesPerBar = 4;
constexpr int32_t kBassNotes = kBars * kBassNotesPerBar, kLeadNotes = kBars * kLeadNotesPerBar;

constexpr uint8_t chordRoot(int32_t bar) {
    return kChordRoots[bar % 4];
}

constexpr NoteEvent bassNote(int32_t i, bool off) {
    const int32_t bar = i / kBassNotesPerBar;
    const uint32_t start = uint32_t(bar * 32 + (i % kBassNotesPerBar) * 16);
    return {clockTick(start + (off ? 12 : 0)), chordRoot(bar), uint8_t(i % 2 ? 84 : 110)};
}

constexpr NoteEvent leadNote(int32_t i, bool off) {
    const int32_t bar = i / kLeadNotesPerBar, step = i % kLeadNotesPerBar;
    const uint8_t third = kChordMinor[bar % 4] ? 3 : 4;
    const uint8_t intervals[4] = {12, uint8_t(12 + third), 19, 24};
    const uint32_t start = uint32_t(bar * 32 + step * 8);
    return {clockTick(start + (off ? 4 : 0)), uint8_t(chordRoot(bar) + intervals[step]),
            uint8_t(70 + 12 * step)};
}

constexpr uint32_t kAreaBytes =
    (4 + 4 * kBassNotes) + (4 + 5 * kBassNotes) + (4 + 4 * kLeadNotes) + (4 + 5 * kLeadNotes);
constexpr uint32_t kSongBytes = sizeof(SongHeader) + kAreaBytes + 4;

struct ByteWriter {
    std::array<uint8_t, kSongBytes> bytes{};
    uint32_t at = 0;
    constexpr void word(uint32_t value) {
        for (int32_t i = 0; i < 4; ++i) bytes[at++] = uint8_t(value >> (8 * i));
    }
    // A note-off or note-on stream of `count` events: three time planes, notes, velocities.
    constexpr void stream(int32_t channel, bool noteOn, int32_t count, NoteEvent (*event)(int32_t, bool)) {
        word(uint32_t(channel) << 28 | (noteOn ? 1u << 24 : 0u) | uint32_t(count));
        for (int32_t plane = 0; plane < 3; ++plane)
            for (int32_t i = 0; i < count; ++i) bytes[at++] = uint8_t(event(i, !noteOn).tick >> (8 * plane));
        for (int32_t i = 0; i < count; ++i) bytes[at++] = event(i, !noteOn).note;
        if (noteOn)
            for (int32_t i = 0; i < count; ++i) bytes[at++] = event(i, false).velocity;
    }
};

constexpr std::array<uint8_t, kSongBytes> assembleSong() {
    ByteWriter out;
    out.word(std::bit_cast<uint32_t>(kTempo));
    out.word(uint32_t(kSongFrames));
    out.word(uint32_t(kSamplesPerTick));
    out.word(kAreaBytes);
    // Each channel's note-offs come before its note-ons, so a note that ends and starts again on
    // one tick is released first.
    out.stream(0, false, kBassNotes, bassNote);
    out.stream(0, true, kBassNotes, bassNote);
    out.stream(1, false, kLeadNotes, leadNote);
    out.stream(1, true, kLeadNotes, leadNote);
    // Stored delta-coded: each byte minus the plain byte before it.
    uint8_t previous = 0;
    for (uint32_t i = sizeof(SongHeader); i < sizeof(SongHeader) + kAreaBytes; ++i) {
        const uint8_t plain = out.bytes[i];
        out.bytes[i] = uint8_t(plain - previous);
        previous = plain;
    }
    out.word(kEndOfStreams);
    return out.bytes;
}

constexpr std::array<uint8_t, kSongBytes> kSong = assembleSong();
static_assert(clockTick(kBars * 32) * kSamplesPerTick < kSongFrames, "the loop must end within the song");

} // namespace

const uint8_t* builtinSongBytes(size_t* size) {
    *size = kSong.size();
    return kSong.data();
}

const uint16_t* builtinPatchWords() {
    return kPatch.words.data();
}
