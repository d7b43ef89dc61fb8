// The built-in song and patch, assembled at compile time from the tables below: a bass line and
// an arpeggio over a four-chord loop, on channels 0 and 1, for the whole length of the show.
#include "synth/builtin_song.h"

#include "platform/platform.h"
#include "synth/patch.h"
#include "synth/song.h"
#include "synth/unit_table.h"

#include <array>
#include <bit>

namespace {

// ---- Music -----------------------------------------------------------------------------------

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

// ---- Patch -----------------------------------------------------------------------------------

// Records refer to their inputs by position in the record list, or to constants from
// kConstantBase on.
constexpr int32_t kConstantBase = 1000;
constexpr int32_t kNoInput = -1;
constexpr int32_t kMonoConstantRoom = (kFirstStereoConstantIndex - kFirstConstantIndex) / 2;

struct PatchRecord {
    UnitType type;
    bool shared;
    std::array<int32_t, kUnitMaxInputs> inputs;
    std::array<uint16_t, 2> params;
    int32_t paramCount;
};

constexpr int32_t kRecordRoom = 192;

struct PatchSketch {
    std::array<PatchRecord, kRecordRoom> records{};
    int32_t count = 0;
    std::array<float, kMonoConstantRoom> constants{};
    int32_t constantCount = 0;
    bool valid = true;

    constexpr int32_t add(UnitType type, bool shared, std::initializer_list<int32_t> inputs,
                          std::initializer_list<uint16_t> params = {}) {
        if (count == kRecordRoom) {
            valid = false;
            return 0;
        }
        PatchRecord& record = records[count];
        record = {type, shared, {}, {}, 0};
        record.inputs.fill(kNoInput);
        int32_t k = 0;
        for (int32_t input : inputs) record.inputs[k++] = input;
        for (uint16_t param : params) record.params[record.paramCount++] = param;
        return count++;
    }
    // A mono constant; equal values share one node.
    constexpr int32_t constant(float value) {
        for (int32_t c = 0; c < constantCount; ++c)
            if (constants[c] == value) return kConstantBase + c;
        if (constantCount == kMonoConstantRoom) {
            valid = false;
            return kConstantBase;
        }
        constants[constantCount] = value;
        return kConstantBase + constantCount++;
    }
};

constexpr uint16_t kFromVoice = 0x30; // an envelope's trigger and gate come from the voice
constexpr uint16_t kEightVoices = 3 << 13;

constexpr uint16_t keyRange(int32_t lowest, int32_t highest) {
    return uint16_t(lowest | highest << 8);
}

// Small-angle sine and cosine (the angles here stay below 0.2 radians).
constexpr double smallSine(double x) {
    const double x2 = x * x;
    return x * (1 - x2 / 6 * (1 - x2 / 20 * (1 - x2 / 42 * (1 - x2 / 72))));
}
constexpr double smallCosine(double x) {
    const double x2 = x * x;
    return 1 - x2 / 2 * (1 - x2 / 12 * (1 - x2 / 30 * (1 - x2 / 56)));
}

// Radians per sample of a note's pitch.
constexpr double noteAngle(int32_t note) {
    constexpr double kSemitone = 1.0594630943592953; // 2^(1/12)
    double frequency = 440.0;
    for (int32_t n = note; n < 69; ++n) frequency /= kSemitone;
    for (int32_t n = note; n > 69; --n) frequency *= kSemitone;
    return 2.0 * 3.141592653589793 * frequency / kAudioFrameRate;
}

// Each ring of a resonator keeps this share of its amplitude per sample (about 0.45 s to 1/e).
constexpr double kRingKeep = 0.99995;

// A pool that plays one note: each voice is a damped two-pole resonator rung by a one-sample
// impulse and shaped by an amplitude envelope that also ends the voice,
//     y[n] = impulse + 2 k cos(w) y[n-1] - k^2 y[n-2].
// The delays come from the graph's own rule that a node reached again while it is being evaluated
// answers with its previous sample: y pulls y1, which pulls its helper (and through it y2) before
// y, so y1 takes y[n-1] and y2 takes y1's previous value, y[n-2]. The order of the inputs below
// is what makes this so (sums evaluate their inputs last to first).
constexpr int32_t addNotePool(PatchSketch& patch, int32_t note, double level) {
    const double angle = noteAngle(note);
    const int32_t zero = patch.constant(0.0f), one = patch.constant(1.0f);
    const int32_t feedback = patch.constant(float(2.0 * kRingKeep * smallCosine(angle)));
    const int32_t damping = patch.constant(float(-kRingKeep * kRingKeep));
    // The impulse response peaks near impulse / sin(w); this keeps every note at `level`.
    const int32_t strike = patch.constant(float(level * smallSine(angle)));
    const int32_t pool = patch.count;
    const int32_t voice = pool + 1, y = pool + 2, a = pool + 3, b = pool + 4, y1 = pool + 5,
                  helper = pool + 6, y2 = pool + 7, impulse = pool + 8, amplitude = pool + 9;
    patch.add(UnitType::VoicePool, true, {voice, zero, zero, zero}, {keyRange(note, note), kEightVoices});
    patch.add(UnitType::VoiceOutput, false, {y, amplitude, amplitude});
    patch.add(UnitType::Sum, false, {impulse, b, a});
    patch.add(UnitType::Multiply, false, {y1, feedback});
    patch.add(UnitType::Multiply, false, {y2, damping});
    patch.add(UnitType::Sum, false, {y, helper});
    patch.add(UnitType::Multiply, false, {y2, zero});
    patch.add(UnitType::Multiply, false, {y1, one});
    // Attack and decay of 0 make the level 1 in the voice's first sample and 0 from the next on.
    patch.add(UnitType::Envelope, false, {zero, zero, zero, zero, zero, zero, strike}, {kFromVoice});
    patch.add(UnitType::Envelope, false,
              {zero, zero, patch.constant(0.03f), patch.constant(0.4f), patch.constant(0.45f),
               patch.constant(0.25f), one},
              {kFromVoice});
    return pool;
}
// The distinct notes a channel plays, in first-played order.
struct NoteSet {
    std::array<uint8_t, kUnitMaxInputs> notes{};
    int32_t count = 0;
    bool valid = true;
};

constexpr NoteSet notesOf(int32_t eventCount, NoteEvent (*event)(int32_t, bool)) {
    NoteSet set;
    for (int32_t i = 0; i < eventCount; ++i) {
        const uint8_t note = event(i, false).note;
        bool seen = false;
        for (int32_t k = 0; k < set.count; ++k) seen = seen || set.notes[k] == note;
        if (seen) continue;
        if (set.count == kUnitMaxInputs)
            set.valid = false;
        else
            set.notes[set.count++] = note;
    }
    return set;
}

// Records in storage order. The layout the synthesizer relies on: node 0 the master, channel c's
// output at word 3(c+1), the sixteen routing sums from word 51, each summing its channel's pools.
constexpr PatchSketch placeholderPatch() {
    constexpr NoteSet kBass = notesOf(kBassNotes, bassNote), kLead = notesOf(kLeadNotes, leadNote);
    constexpr int32_t kFirstOutput = 1, kFirstRoute = 17, kMix = 33, kFirstPool = 34, kPoolRecords = 10;
    PatchSketch patch;
    patch.valid = kBass.valid && kLead.valid;
    const int32_t one = patch.constant(1.0f);
    patch.add(UnitType::Multiply, true, {kMix, one});
    for (int32_t c = 0; c < kChannelCount; ++c)
        patch.add(UnitType::ChannelOutput, true, {kFirstRoute + c, one});
    const NoteSet* channels[2] = {&kBass, &kLead};
    int32_t pool = kFirstPool;
    for (int32_t c = 0; c < kChannelCount; ++c) {
        const int32_t route = patch.add(UnitType::Sum, true, {});
        for (int32_t k = 0; c < 2 && k < channels[c]->count; ++k, pool += kPoolRecords)
            patch.records[route].inputs[k] = pool;
    }
    const int32_t mix = patch.add(UnitType::Sum, true, {});
    for (int32_t c = 0; c < kChannelCount; ++c) patch.records[mix].inputs[c] = kFirstOutput + c;
    patch.valid = patch.valid && mix == kMix;
    for (int32_t k = 0; k < kBass.count; ++k) addNotePool(patch, kBass.notes[k], 0.3);
    for (int32_t k = 0; k < kLead.count; ++k) addNotePool(patch, kLead.notes[k], 0.14);
    patch.valid = patch.valid && pool == patch.count;
    return patch;
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

constexpr PatchAssembly assemblePatch(const PatchSketch& list) {
    PatchAssembly patch;
    patch.valid = list.valid;
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
            if (input >= kConstantBase && input < kConstantBase + list.constantCount) {
                patch.words[w++] = uint16_t(kFirstConstantIndex + 2 * (input - kConstantBase));
            } else if (input >= 0 && input < list.count) {
                patch.words[w++] = uint16_t(at[input]);
            } else {
                patch.valid = false;
            }
        }
        for (int32_t k = 0; k < record.paramCount; ++k) patch.words[w++] = record.params[k];
    }
    for (int32_t c = 0; c < list.constantCount; ++c)
        putFloat(patch, kFirstConstantIndex + 2 * c, list.constants[c]);
    // The conventions the sequencer and the render loop rely on.
    for (int32_t c = 0; c < kChannelCount; ++c)
        if (at[1 + c] != 3 * (c + 1)) patch.valid = false;
    if (at[17] != kFirstRoutingIndex) patch.valid = false;
    return patch;
}

constexpr PatchAssembly kPatch = assemblePatch(placeholderPatch());
static_assert(kPatch.valid, "the built-in patch does not assemble");

// ---- Song ------------------------------------------------------------------------------------

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
