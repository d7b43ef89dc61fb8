// Writes the seed corpora of the fuzz targets from the program's own data:
//   fuzz_seed_corpus DIR SOURCE_ROOT  ->  DIR/song/*, DIR/patch/*, DIR/track/*,
//                                         DIR/song_source/*, DIR/midi_import/*, DIR/track_source/*,
//                                         DIR/sync_stream/*
// (scripts/fuzz adds the shader texts for the include target and a small bank file.)
#include "framework/track_data.h"
#include "songc/songc.h"
#include "synth/builtin_song.h"
#include "synth/patch.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <regex>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

bool writeSeed(const std::string& dir, const char* name, const Bytes& bytes) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    const std::string path = dir + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

template <typename T>
void append(Bytes& bytes, const T& value) {
    const auto* raw = reinterpret_cast<const uint8_t*>(&value);
    bytes.insert(bytes.end(), raw, raw + sizeof value);
}

// The track target's layout: key count, keys, then the times to evaluate at.
Bytes trackSeed(const TrackSource& track) {
    Bytes bytes;
    const int32_t count = track.count < 255 ? track.count : 255;
    bytes.push_back(static_cast<uint8_t>(count));
    for (int32_t k = 0; k < count; ++k) {
        append(bytes, track.times[k]);
        append(bytes, track.values[k]);
        append(bytes, track.modes[k]);
    }
    for (int32_t k = 0; k < count; ++k) append(bytes, static_cast<float>(track.times[k]) + 0.5f);
    return bytes;
}

Bytes textBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// The song-source target's layout: patch text, a NUL byte, song text.
Bytes patchAndSong(const std::string& patch, const std::string& song) {
    return textBytes(patch + std::string(1, '\0') + song);
}

// The ```toml blocks of the music format's document: its example patch and song.
std::vector<std::string> docsExamples(const std::string& root) {
    std::string docs, error;
    std::vector<std::string> blocks;
    if (!readFile(root + "/docs/music-format.md", &docs, &error)) return blocks;
    const std::regex block("```toml\n([\\s\\S]*?)```");
    for (auto it = std::sregex_iterator(docs.begin(), docs.end(), block); it != std::sregex_iterator(); ++it)
        blocks.push_back((*it)[1].str());
    return blocks;
}

// Sources the compiler refuses, one of each kind of fault, and a few it takes in their short form.
const char* const kSmallSources[] = {
    "master = { type = \"Add\", a = \"x\", b = 0.0 }\n[nodes]\nx = { type = \"Negate\", signal = \"y\" }\n"
    "y = { type = \"Negate\", signal = \"~x\" }\n[channels.c]\nnumber = 3\nvolume = 0.5\n",
    "master = { type = \"Add\", a = \"x\", b = 0.0 }\n[nodes]\nx = { type = \"Negate\", signal = \"y\" }\n"
    "y = { type = \"Negate\", signal = \"x\" }\n",
    "master = { type = \"Multiply\", signal = \"ch0\", gain = 1.0 }\n[channels.ch0]\nnumber = 0\n"
    "pools = [ { instrument = \"beep\", keys = \"C1..B3\", voices = 16 } ]\n[instruments.beep]\n"
    "out = { type = \"VoiceOutput\", signal = [0.5, -0.5], gain = 1.0, active = 1.0 }\n"
    "osc = { type = \"Oscillator\", inputs = [0,0,0,0,0,0,0], wave = \"saw\", unison = 3 }\n",
    "master = { type = \"Sum\", inputs = [0.0, 0.0, 0.0] }",
    "[channels]\nc = 0\n[patterns]\np = \"\"\"\nC4/4 D4\nE4+G4/8. r/8 60:12@90&\n\"\"\"\n"
    "[[arrangement]]\nat = \"1:1:0\"\nchannel = \"c\"\nplay = \"p p+1 p-12\"\nrepeat = 2\ntranspose = 3\n",
    "ticks_per_beat = 3\nbeats_per_bar = 3\n[channels]\nc = 0\n[patterns]\np = \"C4/8\"\n",
    "tempo = 90.5\nlength = \"3:1:0\"\n[patterns]\np = { notes = \"cc7=100 C4:1 | r:2 cc7=0\" }\n"
    "[[arrangement]]\nat = \"2:3\"\nchannel = 1\nplay = \"p\"\n[[automation]]\nchannel = 1\n"
    "controller = 112\npoints = [\"1:1:0 = 0\", \"2:1:0 -> 127\", \"2:1:0 = 3\"]\n",
    "samples_per_tick = 7\nlength = 44100\n[[streams]]\nchannel = 2\nkind = \"on\"\n"
    "events = \"0 C4 100, 5 61 20\"\n[[streams]]\nchannel = 2\nkind = \"controller\"\n"
    "controller = 9\nevents = \"0 1, 0 2\"\n",
};

// A Standard MIDI File of the given tracks (their events, each ending with end-of-track).
Bytes midiFile(uint16_t format, uint16_t division, std::initializer_list<Bytes> tracks) {
    auto big = [](Bytes& bytes, uint32_t value, int count) {
        while (count--) bytes.push_back(uint8_t(value >> (8 * count)));
    };
    Bytes file = {'M', 'T', 'h', 'd'};
    big(file, 6, 4);
    big(file, format, 2);
    big(file, uint32_t(tracks.size()), 2);
    big(file, division, 2);
    for (const Bytes& track : tracks) {
        file.insert(file.end(), {'M', 'T', 'r', 'k'});
        big(file, uint32_t(track.size() + 4), 4);
        file.insert(file.end(), track.begin(), track.end());
        file.insert(file.end(), {0, 0xFF, 0x2F, 0});
    }
    return file;
}

void appendBigEndian(Bytes& bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(uint8_t(value >> shift));
}

// The sync stream target's layout: a flags byte (0: the greeting is prepended; the pieces' seed
// in bits 1 to 7), then the editor's messages: the show's keys as an editor sends its document,
// a seek, a pause and play, a deletion and a save.
Bytes syncDocumentSeed(uint8_t pieceSeed) {
    Bytes bytes{uint8_t(pieceSeed << 1)};
    for (int32_t i = 0; i < kShowTrackCount; ++i) {
        const TrackSource& track = builtinTrack(i);
        for (int32_t k = 0; k < track.count; ++k) {
            bytes.push_back(0);
            appendBigEndian(bytes, uint32_t(i));
            appendBigEndian(bytes, uint32_t(track.times[k]));
            uint32_t bits;
            std::memcpy(&bits, &track.values[k], sizeof bits);
            appendBigEndian(bytes, bits);
            bytes.push_back(uint8_t(track.modes[k]));
        }
    }
    bytes.push_back(3);
    appendBigEndian(bytes, 636);
    bytes.insert(bytes.end(), {4, 1, 4, 0, 1});
    appendBigEndian(bytes, 0);
    appendBigEndian(bytes, uint32_t(builtinTrack(0).times[1]));
    bytes.push_back(5);
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: fuzz_seed_corpus DIR SOURCE_ROOT\n", stderr);
        return 2;
    }
    const std::string root = argv[1], sources = argv[2];
    bool ok = true;

    size_t songSize = 0;
    const uint8_t* song = builtinSongBytes(&songSize);
    const Bytes wholeSong(song, song + songSize);
    ok &= writeSeed(root + "/song", "builtin", wholeSong);
    ok &= writeSeed(root + "/song", "builtin-head", Bytes(song, song + (songSize < 600 ? songSize : 600)));

    const uint16_t* words = builtinPatchWords();
    const auto* patchBytes = reinterpret_cast<const uint8_t*>(words);
    Bytes patch(patchBytes, patchBytes + kPatchWordCount * sizeof(uint16_t));
    ok &= writeSeed(root + "/patch", "builtin", patch);
    // A chord on each of the first channels, a controller sweep, then the releases a tick later.
    for (uint8_t channel = 0; channel < 4; ++channel)
        for (uint8_t note : {48, 55, 60, 64, 67})
            patch.insert(patch.end(), {uint8_t(0x10 | channel), note, 100});
    for (uint8_t value = 0; value < 128; value += 32) patch.insert(patch.end(), {0x20, 1, value});
    for (uint8_t note : {48, 55, 60, 64, 67}) patch.insert(patch.end(), {0x40, note, 0});
    ok &= writeSeed(root + "/patch", "builtin-chords", patch);
    // Node 0 a RandomValue whose range is itself: a loop through an unstamped unit.
    ok &= writeSeed(root + "/patch", "random-value-loop", Bytes{0x23, 0x84});

    for (int32_t i = 0; i < kShowTrackCount; ++i)
        ok &= writeSeed(root + "/track", builtinTrack(i).name, trackSeed(builtinTrack(i)));

    const std::string sync = root + "/sync_stream";
    ok &= writeSeed(sync, "document", syncDocumentSeed(0));
    ok &= writeSeed(sync, "document-pieces", syncDocumentSeed(37));
    // Its own greeting, then a key, a save and a key of the last track with the largest row.
    ok &= writeSeed(sync, "own-greeting",
                    textBytes(std::string("\x01hello, demo!") +
                              std::string("\0\0\0\0\x0e\0\0\0\x10\x3f\x80\0\0\x02", 14) + "\x05" +
                              std::string("\0\0\0\0\x0e\x7f\xff\xff\xff\0\0\0\0\x03", 14)));

    std::string patchText, songText, tracksText, error;
    ok &= readFile(sources + "/src/tracks/show.rocket", &tracksText, &error);
    const std::string trackSource = root + "/track_source";
    ok &= writeSeed(trackSource, "show", textBytes(tracksText));
    // The other editor's dialect, with the attributes and bookmarks it writes.
    ok &= writeSeed(
        trackSource, "opengl",
        textBytes("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rootElement>\n"
                  "<tracks rows=\"64\" startRow=\"0\" endRow=\"63\" rowsPerBeat=\"8\" beatsPerMin=\"125\">\n"
                  "<track name=\"scene\" folded=\"0\" muteKeyCount=\"0\" color=\"ffb27474\">\n"
                  "<key row=\"0\" value=\"0\" interpolation=\"0\" />\n"
                  "<key row=\"32\" value=\"1.5\" interpolation=\"2\" />\n</track>\n</tracks>\n"
                  "<bookmarks><bookmark row=\"32\" /></bookmarks>\n</rootElement>\n"));
    ok &= readFile(sources + "/src/music/patch.toml", &patchText, &error);
    ok &= readFile(sources + "/src/music/song.toml", &songText, &error);
    const std::string songSource = root + "/song_source";
    ok &= writeSeed(songSource, "patch", textBytes(patchText));
    ok &= writeSeed(songSource, "song", textBytes(songText));
    ok &= writeSeed(songSource, "builtin", patchAndSong(patchText, songText));
    const std::vector<std::string> examples = docsExamples(sources);
    ok &= examples.size() >= 2;
    if (examples.size() >= 2) ok &= writeSeed(songSource, "docs", patchAndSong(examples[0], examples[1]));
    std::string patchDump, songDump;
    ok &= dumpPatch(words, &patchDump, &error) && dumpSong(song, songSize, &songDump, &error);
    ok &= writeSeed(songSource, "dump", patchAndSong(patchDump, songDump));
    int n = 0;
    for (const char* text : kSmallSources)
        ok &= writeSeed(songSource, ("small" + std::to_string(n++)).c_str(), textBytes(text));

    // Format 0 at 96 pulses: names, metre, tempo, a program, notes in running status (note-on at
    // velocity 0 ending them), a controller, a pitch bend, a system-exclusive message and a
    // tempo change; format 1 at 480 pulses: a tempo track and a track of chords on channels 2
    // and 10 with note-offs and aftertouch.
    const std::string midi = root + "/midi_import";
    ok &= writeSeed(
        midi, "format0",
        midiFile(0, 96, {{0,  0xFF, 0x03, 4,    'l',  'e',  'a',  'd',  0,    0xFF, 0x58, 4,  4,    2,
                          24, 8,    0,    0xFF, 0x51, 3,    0x07, 0xA1, 0x20, 0,    0xC0, 5,  0,    0x90,
                          60, 100,  0,    64,   90,   96,   60,   0,    0,    64,   0,    0,  0xB0, 7,
                          80, 48,   0xE0, 0,    0x40, 0,    0xF0, 3,    0x7E, 0x7F, 0xF7, 48, 0xFF, 0x51,
                          3,  0x0F, 0x42, 0x40, 0,    0x90, 67,   110,  0x60, 0x80, 67,   0}}));
    ok &=
        writeSeed(midi, "format1",
                  midiFile(1, 480,
                           {{0, 0xFF, 0x51, 3, 0x09, 0x27, 0xC0, 0x8F, 0x00, 0xFF, 0x51, 3, 0x06, 0x1A, 0x80},
                            {0,    0x91, 48,   90, 0,  52, 90,   0,  55, 90,   0,  0x99, 36,   127,
                             0x83, 0x60, 0x81, 48, 64, 0,  52,   64, 0,  55,   64, 0,    0x89, 36,
                             0,    0,    0xA1, 48, 30, 0,  0xD1, 20, 0,  0xB1, 1,  127}}));

    if (!ok) std::fprintf(stderr, "fuzz_seed_corpus: cannot write the seeds under %s\n", root.c_str());
    return ok ? 0 : 1;
}
