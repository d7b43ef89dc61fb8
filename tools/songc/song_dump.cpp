// Prints song bytes back as song source (raw streams, notes by name) and summarises them.
#include "base/audio_format.h"
#include "songc/music_text.h"
#include "songc/song_model.h"
#include "songc/songc.h"

#include "synth/song.h"

#include <fstream>
#include <sstream>

bool dumpSong(const uint8_t* bytes, size_t size, std::string* text, std::string* error) {
    SongBlob song;
    std::string reason;
    if (!decodeSongBytes(bytes, size, &song, &reason)) {
        *error = "not a song: " + reason;
        return false;
    }
    std::string& out = *text;
    out = "# Song source printed from song bytes: each stream as stored, events \"tick note [velocity]\".\n";
    out += "tempo = " + floatText(song.tempo) + "\n";
    out += "samples_per_tick = " + std::to_string(song.samplesPerTick) + "\n";
    out += "length = " + std::to_string(song.lengthSamples) + "\n";
    for (const Stream& stream : song.streams) {
        const bool controller = stream.kind == kControllerStream;
        out += "\n[[streams]]\nchannel = " + std::to_string(stream.channel) + "\nkind = ";
        out += stream.kind == 0   ? "\"off\""
               : stream.kind == 1 ? "\"on\""
               : controller       ? "\"controller\""
                                  : std::to_string(stream.kind);
        if (controller) out += "\ncontroller = " + std::to_string(stream.controller);
        out += "\nevents = \"\"\"\n";
        for (size_t i = 0; i < stream.events.size(); ++i) {
            const StreamEvent& event = stream.events[i];
            out += std::to_string(event.tick) + " " +
                   (controller || event.value > 127 ? std::to_string(event.value) : noteName(event.value));
            if (stream.kind == kNoteOnStream) out += " " + std::to_string(event.velocity);
            out += i + 1 == stream.events.size() ? "\n" : (i % 8 == 7 ? ",\n" : ", ");
        }
        out += "\"\"\"\n";
    }
    return true;
}

std::string songStats(const uint8_t* bytes, size_t size) {
    SongBlob song;
    std::string reason;
    if (!decodeSongBytes(bytes, size, &song, &reason)) return "not a song: " + reason + "\n";
    int notes[16] = {}, controls[16] = {};
    uint32_t last = 0;
    for (const Stream& stream : song.streams) {
        for (const StreamEvent& event : stream.events) last = std::max(last, event.tick);
        if (stream.kind == kNoteOnStream) notes[stream.channel] += int(stream.events.size());
        if (stream.kind == kControllerStream) controls[stream.channel] += int(stream.events.size());
    }
    std::ostringstream out;
    out << "tempo " << song.tempo << " bpm, " << song.lengthSamples << " samples ("
        << song.lengthSamples / double(kAudioFrameRate) << " s), " << song.samplesPerTick << " samples per tick\n";
    out << "streams: " << song.streams.size() << ", event area " << size - 20 << " bytes, last event on tick "
        << last << "\n";
    int total = 0;
    for (int c = 0; c < 16; ++c) {
        total += notes[c];
        if (notes[c] || controls[c])
            out << "channel " << c << ": " << notes[c] << " notes, " << controls[c] << " controller values\n";
    }
    out << "notes in all: " << total << "\n";
    return out.str();
}
