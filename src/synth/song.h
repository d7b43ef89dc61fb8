// The song: a header and an event area of note and controller streams, delta-coded by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Little-endian, 16 bytes, followed by the coded event area and a plain 0xFFFFFFFF end marker.
struct SongHeader {
    float tempo;            // beats per minute
    int32_t lengthSamples;  // samples the song lasts
    int32_t samplesPerTick; // the sequencer's time grid
    int32_t eventBytes;     // length of the coded event area
};
static_assert(sizeof(SongHeader) == 16);

// The header at the start of a coded song; false (header zeroed) when the bytes are too few.
inline bool readSongHeader(const uint8_t* song, size_t size, SongHeader* header) {
    *header = {};
    if (!song || size < sizeof(SongHeader)) return false;
    std::memcpy(header, song, sizeof(SongHeader));
    return true;
}

inline constexpr uint32_t kEndOfStreams = 0xFFFFFFFFu;

// A stream word: the head of one stream, followed by its byte planes of N bytes each.
inline constexpr uint32_t streamWord(int32_t channel, int32_t kind, int32_t controller, uint32_t count) {
    return static_cast<uint32_t>(channel) << 28 | static_cast<uint32_t>(kind & 0xF) << 24 |
           static_cast<uint32_t>(controller & 0xFF) << 16 | (count & 0xFFFF);
}
inline uint32_t streamEventCount(uint32_t word) {
    return word & 0xFFFF;
}
inline int32_t streamController(uint32_t word) {
    return static_cast<int32_t>((word >> 16) & 0xFF);
}
inline int32_t streamKind(uint32_t word) {
    return static_cast<int32_t>((word >> 24) & 0xF);
}
inline int32_t streamChannel(uint32_t word) {
    return static_cast<int32_t>(word >> 28);
}
// Kind 1 is note-on, 3 controller; every other kind reads as note-off.
inline constexpr int32_t kNoteOnStream = 1;
inline constexpr int32_t kControllerStream = 3;
// Planes: three of time, then value (note or controller value), then velocity for note-ons.
inline uint32_t streamPlaneCount(uint32_t word) {
    return streamKind(word) == kNoteOnStream ? 5 : 4;
}
// Bytes from the stream word to the next stream word.
inline uint32_t streamBytes(uint32_t word) {
    return 4 + streamPlaneCount(word) * streamEventCount(word);
}

// Event i of a stream whose planes start at `planes` and hold `count` events each.
inline uint32_t eventTick(const uint8_t* planes, uint32_t count, uint32_t i) {
    return planes[i] | static_cast<uint32_t>(planes[count + i]) << 8 |
           static_cast<uint32_t>(planes[2 * count + i]) << 16;
}
inline uint8_t eventValue(const uint8_t* planes, uint32_t count, uint32_t i) {
    return planes[3 * count + i];
}
inline uint8_t eventVelocity(const uint8_t* planes, uint32_t count, uint32_t i) {
    return planes[4 * count + i];
}
inline uint32_t readStreamWord(const uint8_t* at) {
    return at[0] | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

// Replaces each byte by the running 8-bit sum of the coded bytes up to it.
inline void decodeEventArea(uint8_t* area, uint32_t length) {
    uint8_t sum = 0;
    for (uint32_t i = 0; i < length; ++i) area[i] = sum = static_cast<uint8_t>(sum + area[i]);
}

// A song ready for the sequencer: its header and its decoded streams in a block of its own,
// always closed by an end marker.
struct DecodedSong {
    SongHeader header;
    uint8_t* streams;     // memAlloc block
    uint32_t streamCount; // streams before the end marker
};

inline constexpr uint32_t kMaxStreams = 65536;

// Copies and decodes a song. The streams are cut before the first one that would run past the
// event area or past kMaxStreams, and an area longer than the bytes given is cut to them.
// 0 when the bytes cannot hold a header or memory runs out.
int32_t decodeSong(const uint8_t* bytes, size_t size, DecodedSong* song);
void releaseDecodedSong(DecodedSong* song);
