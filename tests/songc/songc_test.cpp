// The song compiler: bad sources, round trips through --dump, the built song streams, a compiled
// song rendered by the synthesizer, and MIDI import.
#include "songc/songc.h"

#include "synth/builtin_song.h"
#include "synth/patch.h"
#include "synth/song.h"
#include "synth/synth.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <regex>

namespace {

std::string sourceFile(const std::string& relative) {
    std::string text, error;
    EXPECT_TRUE(readFile(std::string(QUORLAX_SOURCE_DIR) + "/" + relative, &text, &error)) << error;
    return text;
}

// The n-th ```toml block of docs/music-format.md: the documented example must compile.
std::string docsExample(int n) {
    const std::string docs = sourceFile("docs/music-format.md");
    const std::regex block("```toml\n([\\s\\S]*?)```");
    auto it = std::sregex_iterator(docs.begin(), docs.end(), block);
    for (int i = 0; i < n && it != std::sregex_iterator(); ++i) ++it;
    return it == std::sregex_iterator() ? "" : (*it)[1].str();
}

struct Music {
    std::vector<uint16_t> patch;
    std::vector<uint8_t> song;
};

Music compileBoth(const std::string& patchText, const std::string& songText) {
    Music music;
    std::string error;
    EXPECT_TRUE(compilePatch(patchText, "p.toml", &music.patch, &error)) << error;
    EXPECT_TRUE(compileSong(songText, "s.toml", music.patch.data(), &music.song, &error)) << error;
    return music;
}

const char kPoolPatch[] = R"(master = { type = "Multiply", signal = "ch0", gain = 1.0 }
[channels.ch0]
number = 0
pools = [ { instrument = "beep" } ]
[instruments.beep]
out = { type = "VoiceOutput", signal = 1.0, gain = 1.0, active = 1.0 }
)";

std::string sumOf(int count, double first, double step) {
    std::string text = "{ type = \"Sum\", inputs = [";
    for (int i = 0; i < count; ++i) text += (i ? ", " : "") + std::to_string(first + i * step);
    return text + "] }\n";
}

std::string manyNodes(int nodes, int inputs, double step) {
    std::string text = "master = { type = \"Add\", a = 0.0, b = 0.0 }\n[nodes]\n";
    for (int n = 0; n < nodes; ++n)
        text += "n" + std::to_string(n) + " = " + sumOf(inputs, 2 + n * inputs * step, step);
    return text;
}

std::string chord(int notes) {
    std::string text;
    for (int n = 0; n < notes; ++n) text += (n ? "+" : "") + std::to_string(20 + n);
    return text;
}

std::string dotted(int dots) {
    std::string key = "a";
    for (int i = 0; i < dots; ++i) key += ".a";
    return key;
}

// Notes that start together and end one after another.
std::string held(int notes) {
    std::string text;
    for (int n = 0; n < notes; ++n) text += std::to_string(20 + n) + ":" + std::to_string(n + 1) + "& ";
    return text;
}

TEST(Songc, BadSourcesAreRejectedWithTheirLine) {
    const std::string head = "master = { type = \"Add\", a = \"x\", b = 0.0 }\n[nodes]\n";
    const std::string withX = head + "x = { type = \"Negate\", signal = 0.0 }\n";
    const std::string songHead = "[channels]\nc = 0\n[patterns]\n";
    // Pattern p of `notes` on line 4, its entry from line 5 with `more` from line 9.
    auto placed = [&](const std::string& notes, const std::string& more = "") {
        return songHead + "p = \"" + notes +
               "\"\n[[arrangement]]\nat = \"1:1:0\"\nchannel = \"c\"\nplay = \"p\"" + more;
    };
    struct Case {
        bool song;
        std::string source, expected; // expected "" means the source compiles
    } cases[] = {
        {false, head + "x = { type = \"Wobble\" }", "p.toml:3: unknown unit type 'Wobble'"},
        {false, head + "x = { type = \"Negate\", signal = \"nothing\" }", "p.toml:3: unknown node 'nothing'"},
        {false, head + "x = { type = \"Negate\", signal = 0.0, sigma = 1 }",
         "p.toml:3: unknown input or parameter 'sigma'"},
        {false, head + "x = { type = \"Add\", a = 0.0 }",
         "p.toml:3: Add takes 2 inputs (a, b); 'b' is missing"},
        {false, head + "x = { type = \"Add\", inputs = [0.0] }", "p.toml:3: Add takes 2 inputs, not 1"},
        {false, head + "x = { type = \"Delay\", signal = 0.0, time = 0.0, params = [1, 2] }",
         "p.toml:3: Delay takes 1 parameter word, not 2"},
        {false, head + "x = " + sumOf(17, 0, 0), "p.toml:3: a node takes at most 16 inputs, not 17"},
        {false, head + "x = { type = \"Oscillator\", inputs = [0,0,0,0,0,0,0], wave = \"wobble\" }",
         "p.toml:3: parameter 'wave' of Oscillator must be one of"},
        {false, head + "x = { type = \"VoicePool\" }", "p.toml:3: VoicePool nodes are not written by hand"},
        {false, head + "master = { type = \"Negate\", signal = 0.0 }",
         "p.toml:3: the name 'master' is used twice"},
        {false, head + "x = { type = \"Negate\", signal = \"y\" }\ny = { type = \"Negate\", signal = \"x\" }",
         "p.toml:4: the loop x -> y -> x is not broken by a delay"},
        {false,
         head + "x = { type = \"Negate\", signal = \"y\" }\ny = { type = \"Negate\", signal = \"~x\" }", ""},
        {false, head + "x = { type = \"Delay\", signal = \"x\", time = 0.0 }", ""},
        {false, "master = { type = \"Sum\", inputs = [0.0, 0.0, 0.0] }",
         "p.toml:1: the master node must take two inputs"},
        {false, withX + "[channels.c]\nnumber = 3\nsignal = 0.0",
         "p.toml:4: channel 'c': its signal must lead"},
        {false, withX + "[channels.c]\nnumber = 16", "p.toml:4: channel 'c' needs a number from 0 to 15"},
        {false, std::string(kPoolPatch) + "[instruments.other]\no = { type = \"Negate\", signal = 0.0 }\n",
         ""},
        {false, std::regex_replace(std::string(kPoolPatch), std::regex("beep\" }"), "boop\" }"),
         "p.toml:4: unknown instrument 'boop'"},
        {false, std::string(kPoolPatch) + "x = { type = \"Negate\", signal = \"out\", shared = true }",
         "p.toml:7: shared node 'x' cannot take the per-voice node 'out'"},
        // 67 skeleton words, then 17-word records: the 87th ends past word 1535 (67 + 87 * 17).
        {false, manyNodes(90, 16, 0), "p.toml:89: the node records need more than 1536 words"},
        // 0.0 and the channels' 1.0 come first: the 131st distinct value is the 129th of n0..n8.
        {false, manyNodes(9, 16, 1), "p.toml:11: more than 130 different mono constants"},
        {false,
         head + "x = { type = \"Sum\", inputs = [[0,1],[0,2],[0,3],[0,4],[0,5],[0,6],[0,7],[0,8],[0,9],"
                "[0,10],[0,11],[0,12]] }",
         "p.toml:3: more than 11 different stereo constants"},
        {false, "master = { type = \"Add\", a = 0.0, b = 0.0 }\n[nodes\n", "p.toml:2:"},
        // Outside ASCII only in strings and comments (U+01D8 is one toml++ cannot take anywhere
        // else), and after a line-ending backslash as the string goes on.
        {false, "master = { type = \"Add\", a = 0.0, b = 0.0 } # \xC7\x98\nx = \"\"\"\\\n\xC7\x98\"\"\"",
         "p.toml:2: unknown section 'x'"},
        {true, dotted(256) + " = 1", "s.toml:1: unknown key 'a' in a song"},
        {true, "tempo = 120.0\n" + dotted(257) + " = 1", "s.toml:2: a key of more than 256 dotted parts"},
        {true, "tempo = 120.0\n[patterns]\np = \"C4 \xC7\x98\"\nq = [1, \xC7\x98]",
         "s.toml:4: the character U+01D8 '\xC7\x98' stands outside a string or comment"},
        {true, songHead + "p = \"G9\"\n[[arrangement]]\nat = \"1:1:0\"\nchannel = \"c\"\nplay = \"p+1\"",
         "s.toml:5: G9 transposed by 1 is outside the notes 0 to 127"},
        {true, songHead + "p = \"\"\"\nC4/4 D4\nE4 H4\n\"\"\"", "s.toml:6: 'H4': 'H4' is no note"},
        {true, songHead + "p = \"\"\"\n\nC4 H4\n\"\"\"", "s.toml:6: 'H4': 'H4' is no note"},
        {true, songHead + "p = \"C4@0\"", "s.toml:4: 'C4@0': a velocity is @1 to @127"},
        {true, "ticks_per_beat = 3\n" + songHead + "p = \"C4/8\"",
         "s.toml:5: 'C4/8': /8 is not a whole number"},
        {true, songHead + "p = \"C4\"\n[[arrangement]]\nat = \"100000:1:0\"\nchannel = \"c\"\nplay = \"p\"",
         "s.toml:5: time past the last tick a song can hold (16777215)"},
        {true, songHead + "p = \"C4\"\n[[arrangement]]\nat = \"1:1:0\"\nchannel = \"c\"\nplay = \"q\"",
         "s.toml:5: unknown pattern 'q'"},
        {true, placed("C4:1", "\nrepeat = 65536"), "s.toml:5: channel 0 has more than 65,535 note-offs"},
        {true, placed(held(6), "\nrepeat = 100000"), "s.toml:5: more than 1,000,000 events in all"},
        {true, placed(held(49)), "s.toml:5: more than 48 note-ons reach one pool of channel 0 on tick 0"},
        {true, placed(chord(33)), "s.toml:5: more than 32 note-offs reach one pool of channel 0 on tick 331"},
        {true, placed(held(48)), ""},
        {true, "[[automation]]\nchannel = 0\ncontroller = 1\npoints = [\"2:1:0 = 5\",\n\"1:1:0 = 3\"]",
         "s.toml:5: automation points must not go back in time"},
        {true, songHead + "p = { notes = \"C4\", articulation = 1.5 }",
         "s.toml:4: articulation is a fraction"},
        {true, songHead + "p = { notes = \"C4\", articulation = \"/7\" }",
         "s.toml:4: articulation is a fraction"},
        {true, songHead + "p = { notes = \"C4\", legato = 1 }",
         "s.toml:4: unknown key 'legato' in pattern 'p'"},
        {true, songHead + "p = \"C4/4*0\"", "s.toml:4: 'C4/4*0': a length times N takes N from 1 to 1000"},
        {true, placed("C4@100", "\nvelocity = 30"),
         "s.toml:5: velocity 100 changed by 30 is outside 1 to 127"},
        {true, placed("C4", "\nvelocity = 1.5"), "s.toml:9: velocity is a whole number"},
        {true, songHead + "p = \"C4\"\n[[arrangement]]\nat = [\"1:1\", 5]\nchannel = \"c\"\nplay = \"p\"",
         "s.toml:6: an arrangement entry needs at = \"bar:beat:tick\" (or a list of them)"},
        {true,
         songHead + "p = \"C4\"\n[[arrangement]]\nat = [\"1:1\", \"1:5\"]\nchannel = \"c\"\nplay = \"p\"",
         "s.toml:6: position '1:5' must be bar:beat:tick"},
    };
    std::vector<uint16_t> pool;
    std::string error;
    ASSERT_TRUE(compilePatch(kPoolPatch, "p.toml", &pool, &error)) << error;
    for (const Case& c : cases) {
        std::vector<uint16_t> words;
        std::vector<uint8_t> bytes;
        error.clear();
        const bool ok = c.song ? compileSong(c.source, "s.toml", pool.data(), &bytes, &error)
                               : compilePatch(c.source, "p.toml", &words, &error);
        EXPECT_EQ(ok, c.expected.empty()) << c.source << "\n" << error;
        EXPECT_EQ(error.substr(0, c.expected.size()), c.expected) << c.source;
    }
}

// Parsing truncated and random sources is left to the fuzzers; the dumps must refuse cut blobs.
TEST(Songc, DumpRefusesTruncatedOrRandomBlobs) {
    size_t size = 0;
    const uint8_t* song = builtinSongBytes(&size);
    std::string text, error;
    for (size_t cut = 0; cut < size; cut += 13) EXPECT_FALSE(dumpSong(song, cut, &text, &error)) << cut;
    // Each kind of damage is named: a cut header, a cut area, an area of half a stream word.
    std::vector<uint8_t> odd(song, song + sizeof(SongHeader) + 2);
    odd[12] = 2, odd[13] = odd[14] = odd[15] = 0;
    const std::pair<size_t, const char*> damages[] = {{15, "shorter than a song header"},
                                                      {size / 2, "the event area runs past the end"}};
    for (const auto& [cut, reason] : damages) {
        EXPECT_FALSE(dumpSong(song, cut, &text, &error));
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
    EXPECT_FALSE(dumpSong(odd.data(), odd.size(), &text, &error));
    EXPECT_NE(error.find("a stream word runs past the event area"), std::string::npos) << error;
    std::mt19937 random(7);
    std::vector<uint16_t> words(kPatchWordCount);
    for (uint16_t& word : words) word = uint16_t(random());
    EXPECT_FALSE(dumpPatch(words.data(), &text, &error));
}

TEST(Songc, DumpCompilesBackToTheSameBlobs) {
    const std::pair<std::string, std::string> sources[] = {
        {sourceFile("src/music/patch.toml"), sourceFile("src/music/song.toml")},
        {docsExample(0), docsExample(1)}};
    for (const auto& [patchText, songText] : sources) {
        const Music music = compileBoth(patchText, songText);
        std::string patchDump, songDump, error;
        ASSERT_TRUE(dumpPatch(music.patch.data(), &patchDump, &error)) << error;
        ASSERT_TRUE(dumpSong(music.song.data(), music.song.size(), &songDump, &error)) << error;
        const Music again = compileBoth(patchDump, songDump);
        EXPECT_EQ(again.patch, music.patch);
        EXPECT_EQ(again.song, music.song);
    }
    // The program embeds what the sources in src/music compile to.
    const Music builtin = compileBoth(sourceFile("src/music/patch.toml"), sourceFile("src/music/song.toml"));
    size_t size = 0;
    const uint8_t* song = builtinSongBytes(&size);
    EXPECT_EQ(std::vector<uint8_t>(song, song + size), builtin.song);
    EXPECT_EQ(std::vector<uint16_t>(builtinPatchWords(), builtinPatchWords() + kPatchWordCount),
              builtin.patch);
}

TEST(Songc, BuiltSongStreamsComeInChannelOrder) {
    const Music music = compileBoth(docsExample(0), docsExample(1));
    DecodedSong song{};
    ASSERT_EQ(decodeSong(music.song.data(), music.song.size(), &song), 1);
    // Riff: 7 notes x 4; walk: 7 notes x 2 x 2; the ramp 40 -> 120 changes 80 times, plus the
    // first and last point. The riff's first eighth, played at 90 %, ends on tick 148.84, the
    // walk's first quarter on 330.75.
    const struct {
        int channel, kind, controller, count;
        uint32_t firstTick;
    } expected[] = {
        {0, 0, 0, 28, 149}, {0, 1, 0, 28, 0}, {0, 3, 1, 82, 0}, {1, 0, 0, 28, 331}, {1, 1, 0, 28, 0}};
    ASSERT_EQ(song.streamCount, 5u);
    const uint8_t* at = song.streams;
    for (const auto& e : expected) {
        const uint32_t word = readStreamWord(at);
        EXPECT_EQ(streamChannel(word), e.channel);
        EXPECT_EQ(streamKind(word), e.kind);
        EXPECT_EQ(streamController(word), e.controller);
        EXPECT_EQ(int(streamEventCount(word)), e.count);
        EXPECT_EQ(eventTick(at + 4, streamEventCount(word), 0), e.firstTick);
        at += streamBytes(word);
    }
    EXPECT_EQ(readStreamWord(at), kEndOfStreams);
    releaseDecodedSong(&song);
    // A note shorter than a sequencer tick (1/960 beat is 0.34 of one) ends one tick after it
    // starts, not before: its note-off comes first in the stream order.
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(
        compileSong("ticks_per_beat = 960\n[patterns]\np = \"C4:1\"\n[[arrangement]]\nat = \"1:1:0\"\n"
                    "channel = 0\nplay = \"p\"",
                    "s.toml", nullptr, &bytes, &error))
        << error;
    ASSERT_EQ(decodeSong(bytes.data(), bytes.size(), &song), 1);
    EXPECT_EQ(eventTick(song.streams + 4, 1, 0), 1u);
    releaseDecodedSong(&song);
}

int crossings(const std::vector<float>& frames, int lane, size_t from, size_t count) {
    int n = 0;
    for (size_t i = from + 1; i < from + count; ++i)
        n += (frames[2 * i + lane] >= 0) != (frames[2 * (i - 1) + lane] >= 0);
    return n;
}

TEST(Songc, CompiledSongSoundsAsWritten) {
    const char patch[] = R"(master = { type = "Add", a = "left", b = "right" }
[channels.left]
number = 0
signal = "pan_left"
pools = [ { instrument = "sine" } ]
[channels.right]
number = 1
signal = "pan_right"
pools = [ { instrument = "hiss" } ]
[nodes]
pan_left = { type = "Panner", signal = "left.pools", position = 0.0 }
pan_right = { type = "Panner", signal = "right.pools", position = 1.0 }
[instruments.sine]
out = { type = "VoiceOutput", signal = "osc", gain = "env", active = "env" }
osc = { type = "Oscillator", fm = 0.0, phase = 0.25, width = 1.0, transpose = 0.0, fine = 0.0, amplitude = 0.5, detune = 0.0, keytrack = true }
env = { type = "Envelope", trigger = 0.0, gate = 0.0, attack = 0.0, decay = 0.0, sustain = 1.0, release = 0.0, gain = 1.0, voice_trigger = true, voice_gate = true }
[instruments.hiss]
out = { type = "VoiceOutput", signal = "filtered", gain = "env", active = "env" }
noise = { type = "Noise", colour = 0.0, amount = 0.5 }
cutoff = { type = "Controller", scale = 1.0, controller = 1, channel = 1 }
filtered = { type = "BiquadFilter", signal = "noise", cutoff = "cutoff", resonance = 0.0, shelf = 0.0, mode = "lowpass" }
env = { type = "Envelope", trigger = 0.0, gate = 0.0, attack = 0.0, decay = 0.0, sustain = 1.0, release = 0.0, gain = 1.0, voice_trigger = true, voice_gate = true }
)";
    const char song[] = R"(tempo = 120.0
ticks_per_beat = 4
[channels]
left = 0
right = 1
[patterns]
late_a = "r/1 A4/1"
hiss = "C4:48"
[[arrangement]]
at = "1:1:0"
channel = "left"
play = "late_a"
[[arrangement]]
at = "1:1:0"
channel = "right"
play = "hiss"
[[automation]]
channel = "right"
controller = 1
points = ["1:1:0 = 0", "3:1:0 -> 127"]
)";
    const Music music = compileBoth(patch, song);
    constexpr uint32_t kFrames = 264600; // three bars of 2 s
    std::vector<float> out(2 * kFrames);
    ASSERT_EQ(renderSong(music.song.data(), music.song.size(), music.patch.data(), out.data(), kFrames), 1);
    releaseSynth();
    // Beat 4 is sample 88,200, inside sequencer tick 1378, which starts at sample 88,192.
    size_t first = 0;
    while (first < kFrames && out[2 * first] == 0.0f) ++first;
    EXPECT_EQ(first, 88192u);
    EXPECT_NEAR(crossings(out, 0, first + 1000, 44100), 880, 1) << "A4 is 440 Hz";
    // The cutoff ramps up over the first two bars: the hiss crosses zero more and more often.
    int previous = 0;
    for (int second = 0; second < 4; ++second) {
        const int n = crossings(out, 1, size_t(second) * 44100 + 11025, 22050);
        EXPECT_GT(n, previous * 2) << "at second " << second;
        previous = n;
    }
}

TEST(Songc, MidiFileImportsAsSongSource) {
    // Format 0, 96 pulses per quarter: C4 then E4 on channel 1, a controller and C3 on channel
    // 2, and a tempo change the song cannot follow.
    const unsigned char file[] = {
        'M',  'T', 'h', 'd',  0,    0,  0,    6,    0,    0,    0,    1,    0,    96,   'M',  'T',  'r',
        'k',  0,   0,   0,    46,   0,  0xFF, 0x51, 3,    0x07, 0xA1, 0x20, 0,    0x90, 60,   100,  0,
        0xB1, 7,   80,  0,    0x91, 48, 80,   96,   0x80, 60,   0,    0,    0x90, 64,   112,  96,   0x80,
        64,   0,   0,   0x81, 48,   0,  0,    0xFF, 0x51, 3,    0x0F, 0x42, 0x40, 0,    0xFF, 0x2F, 0};
    const std::string path = testing::TempDir() + "songc_import.mid";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file), sizeof file);
    std::string text, warnings, error;
    ASSERT_TRUE(importMidi(path, &text, &warnings, &error)) << error;
    std::remove(path.c_str());
    EXPECT_EQ(
        text,
        "# Imported from " + path +
            ".\ntempo = 120.0\nticks_per_beat = 96\n\n[channels]\nmidi1 = 0\n"
            "midi2 = 1\n\n[patterns]\nmidi1 = \"\"\"\nC4:96@100& r:96 E4:96@112&\n\"\"\"\n"
            "midi2 = \"\"\"\ncc7=80 C3:192@80&\n\"\"\"\n\n[[arrangement]]\nat = \"1:1:0\"\nchannel = "
            "\"midi1\"\n"
            "play = \"midi1\"\n\n[[arrangement]]\nat = \"1:1:0\"\nchannel = \"midi2\"\nplay = \"midi2\"\n");
    EXPECT_NE(warnings.find("tempo changes to 60"), std::string::npos) << warnings;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(compileSong(text, "import.toml", nullptr, &bytes, &error)) << error;
    EXPECT_FALSE(
        importMidi(std::string(QUORLAX_SOURCE_DIR) + "/src/music/song.toml", &text, &warnings, &error));
}

// Damage a reader could stop on, read past or skip quietly is refused, each with its reason.
TEST(Songc, DamagedMidiFilesAreRefusedWithTheirReason) {
    auto file = [](std::string track, uint8_t format = 0, uint8_t tracks = 1) {
        track += std::string("\0\xFF\x2F\0", 4);
        const std::string header("MThd\0\0\0\x06\0", 9);
        std::string size = {0, 0, char(track.size() >> 8), char(track.size())};
        return header + char(format) + '\0' + char(tracks) + std::string("\0\x60MTrk", 6) + size + track;
    };
    const std::string note("\0\x90\x3C\x64", 4);
    const std::pair<std::string, const char*> cases[] = {
        {file(note), ""},
        {file(note + std::string("\0\xF7\0", 3)), "an escape (F7) event"},
        {file(std::string("\0\xFF\x03\x80\x01", 5) + "x" + note), "a meta event's length is not one byte"},
        {file(std::string("\0\xFF\x58\x03\x04\x02\x18", 7)), "a meta event of the wrong length"},
        {file(std::string("\0\xFF\x51\x03\0\0\0", 7)), "a tempo of 0"},
        {file(note + "\x60\x3C"), "a channel message is cut short"},
        {file(note, 1, 2), "the header's track count differs"},
        {file(note).substr(0, 14) + file(note), "a chunk other than a track (MTrk)"},
        {file(note).substr(0, 20), "a chunk runs past the end"},
    };
    for (const auto& [bytes, reason] : cases) {
        std::string text, warnings, error;
        EXPECT_EQ(importMidiBytes(bytes, "m.mid", &text, &warnings, &error), !*reason) << reason;
        if (*reason)
            EXPECT_NE(error.find(reason), std::string::npos) << error;
        else
            EXPECT_EQ(error, "");
    }
}

} // namespace
