// The note notation of song patterns: notes, chords, rests and controller values with their
// lengths and velocities, and the articulation that says how long each written note sounds.
// Times are in the song's ticks (ticks_per_beat to the beat), counted from the pattern's start.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Sounding lengths may end between ticks (a fraction of a note value): they are kept in
// millionths of a tick, so that the conversion to sequencer ticks stays in whole numbers.
inline constexpr int64_t kSubTicks = 1000000;

struct PatternNote {
    int64_t at, length; // start and written length, in ticks
    int note, velocity, line;
};
struct PatternControl {
    int64_t at;
    int controller, value, line;
};
// How long a written note sounds: all of its length, a fraction of it, a fixed length
// whatever it is written as (drum hits), or its length less a gap (detached notes).
struct Articulation {
    enum Kind { Full, Fraction, Fixed, Gap } kind = Full;
    int64_t amount = 0; // Fraction: millionths of the length; Fixed and Gap: ticks
};

struct Pattern {
    std::vector<PatternNote> notes;
    std::vector<PatternControl> controls;
    int64_t length = 0; // where the next pattern of an arrangement starts
    Articulation articulation;
};

// A failure: the source line and the message.
struct NotationError {
    int line = 0;
    std::string message;
};

// A length "/4", "/8.", ":36", each optionally times a count ("/1*4"), read from text[*i]
// on; *i ends after it. False with the reason in *why when it is none.
bool parseLength(std::string_view text, size_t* i, int64_t ticksPerBeat, int64_t* ticks, std::string* why);

// An articulation as a number (a fraction from 0 to 1) or a text ("/16" a fixed length, "-/32"
// a gap); `number` is used when `isNumber`. False with the message in *why.
bool parseArticulation(bool isNumber, double number, const std::string& text, int64_t ticksPerBeat,
                       Articulation* articulation, std::string* why);

// How long a note of written `length` ticks sounds, in millionths of a tick (0 when a gap
// swallows it: the song then gives it one sequencer tick).
int64_t soundingLength(const Articulation& articulation, int64_t length);

// The notes of `text`, whose first character lies on source line `firstLine`.
bool parsePatternNotes(const std::string& text, int firstLine, int64_t ticksPerBeat, Pattern* pattern,
                       NotationError* error);
