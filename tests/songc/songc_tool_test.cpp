// songc as a program: the arguments that fit together, inputs it refuses to read, outputs that
// appear whole or not at all, and the exit code of each.
#include "songc/songc.h"
#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

const std::string kMusic = QUORLAX_SOURCE_DIR "/src/music/";
const std::string kSources = "--patch " + kMusic + "patch.toml --song " + kMusic + "song.toml ";

TEST(SongcTool, EveryArgumentListGetsItsExitCodeAndLeavesTheFilesAsTheyWere) {
    ScratchFolder folder;
    const std::string d = folder.path;
    ASSERT_TRUE(writeTextFile(d + "/out.bin", "kept"));
    ASSERT_TRUE(writeTextFile(d + "/out.cpp", "kept"));
    ASSERT_TRUE(writeTextFile(d + "/bad.toml", "tempo = \"fast\"\n"));
    ASSERT_EQ(link((d + "/out.bin").c_str(), (d + "/in.bin").c_str()), 0);
    ASSERT_EQ(mkdir((d + "/dir").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo((d + "/fifo").c_str(), 0644), 0);
    {
        const std::string big = d + "/big.mid";
        ASSERT_TRUE(writeTextFile(big, ""));
        ASSERT_EQ(truncate(big.c_str(), (4 << 20) + 1), 0);
    }
    const std::vector<std::string> before = folder.names();
    const struct {
        std::string arguments;
        int exitCode;
        std::string message;
    } rows[] = {
        {kSources + "--stats", 0, "channel 0: "},
        {"", 2, "usage: songc [--patch P.toml] [--song S.toml] [options]"},
        {"--patch", 2, "songc: missing value after '--patch'"},
        {"--song a.toml --song b.toml", 2, "songc: '--song' given twice"},
        {"--loud", 2, "songc: unknown argument '--loud'"},
        {"--dump $D/out.bin --song $D/bad.toml", 2, "compile, --dump or --import-midi: one at a time"},
        {"--song $D/bad.toml -o $D/x.toml", 2, "-o names the output of --import-midi"},
        {"--song $D/bad.toml --cpp $D/x.cpp", 2, "--cpp needs both --patch and --song"},
        {"--song $D/bad.toml --patch-out $D/x.bin", 2, "--patch-out needs --patch"},
        {kSources + "--cpp $D/x.cc", 2, "--cpp writes a .cpp file: '$D/x.cc'"},
        {kSources + "--song-out $D/x.toml", 2, "--song-out writes a .bin file"},
        {"--import-midi $D/in.mid -o $D/x.mid", 2, "-o writes a .toml file"},
        {"--song $D/in.bin --song-out $D/out.bin", 2, "the output '$D/out.bin' is an input"},
        {kSources + "--song-out $D/x.bin --patch-out $D/x.bin", 2, "the output '$D/x.bin' is named twice"},
        {"--song $D/dir", 2, "$D/dir: cannot be read: it is a folder"},
        {"--patch $D/fifo", 2, "$D/fifo: cannot be read: it is a FIFO (named pipe), not a regular file"},
        {"--dump /dev/zero", 2, "/dev/zero: cannot be read: it is a device, not a regular file"},
        {"--import-midi $D/big.mid", 2, "$D/big.mid: cannot be read: it is larger than 4 MiB"},
        {"--song $D/missing.toml", 2, "$D/missing.toml: cannot be read: no such file"},
        // Inputs that are read but refused: exit 1 with the place, and no output.
        {"--song $D/bad.toml --song-out $D/out.bin", 1, "$D/bad.toml:1: "},
        // A patch given as the song: its first table is one a song cannot hold.
        {"--song " + kMusic + "patch.toml", 1, "unknown key 'instruments' in a song"},
        {"--import-midi $D/bad.toml -o $D/x.toml", 1, "$D/bad.toml: not a Standard MIDI File"},
        {"--dump $D/bad.toml", 1, "$D/bad.toml: "},
    };
    for (const auto& row : rows) {
        const std::string arguments = withFolder(row.arguments, d);
        const ToolRun run = runTool("songc", arguments);
        EXPECT_EQ(run.exitCode, row.exitCode) << arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(withFolder(row.message, d)), std::string::npos) << arguments << "\n"
                                                                                  << run.output;
    }
    // A write that fails part way (the size limit stands in for a full disk).
    const ToolRun full = runCommand("trap '' XFSZ; ulimit -f 16; " + toolPath("songc") + " " + kSources +
                                    "--cpp " + d + "/out.cpp");
    EXPECT_EQ(full.exitCode, 1) << full.output;
    EXPECT_NE(full.output.find("songc: cannot write '" + d + "/out.cpp': File too large"), std::string::npos)
        << full.output;
    EXPECT_EQ(folder.names(), before);
    EXPECT_EQ(readTextFile(d + "/out.cpp"), "kept");
    EXPECT_EQ(readTextFile(d + "/out.bin"), "kept");
}

// What songc writes is what the build compiles into the show.
TEST(SongcTool, OutputsMatchTheBuiltInMusic) {
    ScratchFolder folder;
    ASSERT_TRUE(writeTextFile(folder / "song.bin", "stale"));
    const ToolRun run = runTool("songc", kSources + "--cpp " + folder / "music.cpp" + " --song-out " +
                                             folder / "song.bin" + " --patch-out " + folder / "patch.bin");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"music.cpp", "patch.bin", "song.bin"}));
    EXPECT_EQ(readTextFile(folder / "patch.bin").size(), 1848u * 2u);
    const std::string built = readTextFile(QUORLAX_BIN_DIR "/../generated/music/builtin_music.cpp");
    ASSERT_FALSE(built.empty());
    EXPECT_TRUE(readTextFile(folder / "music.cpp") == built) << "the C++ source differs from the build's";
    // The song blob prints back as a source that compiles to the same blob.
    const ToolRun dump =
        runCommand(toolPath("songc") + " --dump " + folder / "song.bin" + " >" + folder / "again.toml");
    ASSERT_EQ(dump.exitCode, 0) << dump.output;
    ASSERT_EQ(
        runTool("songc", "--song " + folder / "again.toml" + " --song-out " + folder / "again.bin").exitCode,
        0);
    EXPECT_TRUE(readTextFile(folder / "again.bin") == readTextFile(folder / "song.bin"));
}

// A format 1 file of the given track bodies (each without its end-of-track event) at 96 pulses.
std::string midiFile(const std::vector<std::string>& tracks) {
    auto big = [](std::string& to, uint32_t value, int count) {
        while (count--) to += char(value >> (8 * count));
    };
    std::string file = "MThd";
    big(file, 6, 4);
    big(file, 1, 2);
    big(file, uint32_t(tracks.size()), 2);
    big(file, 96, 2);
    for (const std::string& events : tracks) {
        file += "MTrk";
        big(file, uint32_t(events.size() + 4), 4);
        file += events + std::string("\0\xFF\x2F\0", 4);
    }
    return file;
}

std::string notes(int count) {
    std::string events;
    for (int n = 0; n < count; ++n) events += std::string("\0\x90\x3C\x64\x18\x80\x3C\0", 8);
    return events;
}

// An import that the song compiler would refuse is refused by the import, with the compiler's
// reason; one note fewer imports and compiles.
TEST(SongcTool, MidiImportRefusesWhatTheCompilerWould) {
    std::string text, warnings, error;
    EXPECT_FALSE(importMidiBytes(midiFile({notes(65536)}), "m.mid", &text, &warnings, &error));
    EXPECT_NE(error.find("m.mid: the song source made from it does not compile: imported:"),
              std::string::npos)
        << error;
    EXPECT_NE(error.find("channel 0 has more than 65,535 note-offs"), std::string::npos) << error;
    EXPECT_EQ(text, "");
    error.clear();
    ASSERT_TRUE(importMidiBytes(midiFile({notes(65535)}), "m.mid", &text, &warnings, &error)) << error;
    std::vector<uint8_t> song;
    EXPECT_TRUE(compileSong(text, "m.toml", nullptr, &song, &error)) << error;

    // Tempo changes on many tracks make one warning, not one each.
    std::vector<std::string> tracks;
    for (const char* tempo : {"\x07\xA1\x20", "\x06\x1A\x80", "\x0F\x42\x40", "\x07\xA1\x21"})
        tracks.push_back(std::string("\x10\xFF\x51\x03", 4) + tempo + notes(1));
    warnings.clear();
    ASSERT_TRUE(importMidiBytes(midiFile(tracks), "t.mid", &text, &warnings, &error)) << error;
    EXPECT_EQ(warnings,
              "t.mid: the tempo changes to 150.000000 bpm at pulse 16 (and 2 more changes); the song keeps "
              "120.000000 bpm throughout\n");
}

} // namespace
