// The show's clock facts as the song header states them: tempo, length, sample frames per clock
// tick and clock ticks per second. Everything that needs one of them reads it here.
#pragma once

#include "synth/song.h"

#include <cstddef>
#include <cstdint>

// A clock tick is an eighth of a beat; the choreography's rows are clock ticks.
constexpr int32_t kClockTicksPerBeat = 8;

struct SongClock {
    float beatsPerMinute;
    int32_t lengthFrames;  // sample frames the song lasts
    double framesPerTick;  // sample frames per clock tick (2,646 at 125 beats a minute)
    double ticksPerSecond; // clock ticks per second, exactly (16 2/3 at 125 beats a minute)
    double lengthTicks;    // the song's length in clock ticks: the end of the show
};

// The clock of a song with this header.
SongClock songClock(const SongHeader& header);
// The clock of the song compiled into the program.
SongClock builtinSongClock();
