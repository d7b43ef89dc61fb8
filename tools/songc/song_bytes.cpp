#include "songc/song_model.h"

#include "synth/song.h"

#include <bit>

namespace {
void putWord(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(value >> (8 * i)));
}
} // namespace

std::vector<uint8_t> encodeSongBytes(const SongHeader& header, const std::vector<uint8_t>& area) {
    std::vector<uint8_t> out;
    putWord(out, std::bit_cast<uint32_t>(header.tempo));
    putWord(out, uint32_t(header.lengthSamples));
    putWord(out, uint32_t(header.samplesPerTick));
    putWord(out, uint32_t(area.size()));
    // Stored as the difference of each byte to the one before it; the end marker after the
    // area stays plain.
    uint8_t previous = 0;
    for (uint8_t plain : area) {
        out.push_back(uint8_t(plain - previous));
        previous = plain;
    }
    putWord(out, kEndOfStreams);
    return out;
}

std::vector<uint8_t> encodeSong(const SongBlob& song) {
    std::vector<uint8_t> area;
    for (const Stream& stream : song.streams) {
        const uint32_t count = uint32_t(stream.events.size());
        putWord(area, streamWord(stream.channel, stream.kind,
                                 stream.kind == kControllerStream ? stream.controller : 0, count));
        for (int plane = 0; plane < 3; ++plane)
            for (const StreamEvent& event : stream.events) area.push_back(uint8_t(event.tick >> (8 * plane)));
        for (const StreamEvent& event : stream.events) area.push_back(event.value);
        if (stream.kind == kNoteOnStream)
            for (const StreamEvent& event : stream.events) area.push_back(event.velocity);
    }
    return encodeSongBytes({song.tempo, song.lengthSamples, song.samplesPerTick, 0}, area);
}

bool decodeSongBytes(const uint8_t* bytes, size_t size, SongBlob* song, std::string* reason) {
    SongHeader header;
    if (!readSongHeader(bytes, size, &header)) {
        *reason = "shorter than a song header (16 bytes)";
        return false;
    }
    song->tempo = header.tempo;
    song->lengthSamples = header.lengthSamples;
    song->samplesPerTick = header.samplesPerTick;
    if (header.eventBytes < 0 || size_t(header.eventBytes) > size - sizeof header) {
        *reason = "the event area runs past the end of the file";
        return false;
    }
    std::vector<uint8_t> area(bytes + sizeof header, bytes + sizeof header + header.eventBytes);
    decodeEventArea(area.data(), uint32_t(area.size()));
    size_t at = 0;
    while (at < area.size()) {
        if (at + 4 > area.size()) {
            *reason = "a stream word runs past the event area";
            return false;
        }
        const uint32_t word = readStreamWord(&area[at]);
        at += 4;
        if (word == kEndOfStreams) {
            *reason = "an end marker inside the event area";
            return false;
        }
        const uint32_t count = streamEventCount(word);
        if (at + size_t(streamPlaneCount(word)) * count > area.size()) {
            *reason = "a stream runs past the event area";
            return false;
        }
        Stream stream{streamChannel(word), streamKind(word), streamController(word), {}};
        const uint8_t* planes = &area[at];
        for (uint32_t i = 0; i < count; ++i)
            stream.events.push_back(
                {eventTick(planes, count, i), eventValue(planes, count, i),
                 streamKind(word) == kNoteOnStream ? eventVelocity(planes, count, i) : uint8_t(0), 0});
        at += size_t(streamPlaneCount(word)) * count;
        song->streams.push_back(std::move(stream));
    }
    const size_t marker = sizeof header + area.size();
    if (size < marker + 4 || readStreamWord(bytes + marker) != kEndOfStreams) {
        *reason = "no end marker after the event area";
        return false;
    }
    return true;
}
