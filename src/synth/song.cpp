#include "synth/song.h"

#include "base/memory.h"

#include <cstring>

int32_t decodeSong(const uint8_t* bytes, size_t size, DecodedSong* song) {
    *song = DecodedSong{};
    if (!readSongHeader(bytes, size, &song->header)) return 0;
    size_t available = size - sizeof(SongHeader);
    uint32_t length = song->header.eventBytes < 0 ? 0 : static_cast<uint32_t>(song->header.eventBytes);
    if (length > available) length = static_cast<uint32_t>(available);

    song->streams = static_cast<uint8_t*>(memAlloc(length + 4u));
    if (!song->streams) return 0;
    std::memcpy(song->streams, bytes + sizeof(SongHeader), length);
    decodeEventArea(song->streams, length);

    uint32_t at = 0;
    while (at + 4 <= length && song->streamCount < kMaxStreams) {
        uint32_t word = readStreamWord(song->streams + at);
        if (word == kEndOfStreams || at + streamBytes(word) > length) break;
        at += streamBytes(word);
        ++song->streamCount;
    }
    // The sequencer stops at the first end marker; put one where the valid streams end.
    std::memset(song->streams + at, 0xFF, 4);
    return 1;
}

void releaseDecodedSong(DecodedSong* song) {
    memFree(song->streams);
    *song = DecodedSong{};
}
