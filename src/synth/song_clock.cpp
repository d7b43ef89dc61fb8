#include "synth/song_clock.h"

#include "base/audio_format.h"
#include "synth/builtin_song.h"

SongClock songClock(const SongHeader& header) {
    SongClock clock{};
    clock.beatsPerMinute = header.tempo;
    clock.lengthFrames = header.lengthSamples;
    clock.ticksPerSecond = double(header.tempo) / 60.0 * kClockTicksPerBeat;
    clock.framesPerTick = clock.ticksPerSecond > 0 ? kAudioFrameRate / clock.ticksPerSecond : 0.0;
    clock.lengthTicks = clock.framesPerTick > 0 && header.lengthSamples > 0
                            ? header.lengthSamples / clock.framesPerTick
                            : 0.0;
    return clock;
}

SongClock builtinSongClock() {
    size_t size = 0;
    const uint8_t* song = builtinSongBytes(&size);
    SongHeader header;
    readSongHeader(song, size, &header);
    return songClock(header);
}
