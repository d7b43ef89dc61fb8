// The song as the compiler sees it between the source and the bytes: streams of events on
// sequencer ticks, and the bytes' layout (header, delta-coded planes, end marker).
#pragma once

#include "synth/song.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct StreamEvent {
    uint32_t tick;
    uint8_t value; // note or controller value
    uint8_t velocity;
    int line; // source line that made it, for messages
};

struct Stream {
    int channel;
    int kind; // 0 note-off, 1 note-on, 3 controller, others kept as they are
    int controller;
    std::vector<StreamEvent> events;
};

struct SongBlob {
    float tempo = 125.0f;
    int32_t lengthSamples = 0;
    int32_t samplesPerTick = 64;
    std::vector<Stream> streams;
};

// Header, coded area and end marker.
std::vector<uint8_t> encodeSong(const SongBlob& song);
// The song format's framing, which encodeSong and the tests' song builder share: the header's
// tempo, length and grid (its eventBytes is the area's size), the delta-coded `area` (stream
// words and planes as stored) and the end marker.
std::vector<uint8_t> encodeSongBytes(const SongHeader& header, const std::vector<uint8_t>& area);
// The reverse; false with a reason when the bytes are no song (short, a stream past the area).
bool decodeSongBytes(const uint8_t* bytes, size_t size, SongBlob* song, std::string* reason);
