// quorlax-capture treated roughly: interrupted in every command, left running under nohup, several
// writers racing for one output, and a write that fails half way.
#include "shared/wav_file.h"
#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

// Starts quorlax-capture with `arguments`; `ignored` is a signal the program starts with ignored
// (0: none), as nohup does with SIGHUP.
pid_t startCapture(const std::vector<std::string>& arguments, int ignored = 0) {
    const pid_t child = fork();
    if (child != 0) return child;
    if (ignored) signal(ignored, SIG_IGN);
    // Its output is of no interest here.
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
    const std::string tool = toolPath("quorlax-capture");
    std::vector<char*> argv = {const_cast<char*>(tool.c_str())};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(tool.c_str(), argv.data());
    _exit(127);
}

// Waits (at most 20 s) until the folder holds `count` names: the temporary file is there.
bool waitForNames(const ScratchFolder& folder, size_t count) {
    for (int i = 0; i < 2000; ++i) {
        if (folder.names().size() >= count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int exitStatus(pid_t child) {
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CaptureHostile, EveryCommandInterruptedLeavesNothingAndSaysSo) {
    const struct {
        std::vector<std::string> arguments;
        int signal;
    } rows[] = {
        {{"wav", "OUT.wav"}, SIGINT},
        {{"wav", "--song", QUORLAX_SOURCE_DIR "/src/music/song.toml", "OUT.wav"}, SIGHUP},
        {{"frame", "--tick", "1000", "--size", "640x360", "--frames", "10000", "OUT.png"}, SIGTERM},
        {{"sheet", "--size", "640x360", "OUT.png"}, SIGINT},
    };
    for (const auto& row : rows) {
        ScratchFolder folder;
        ASSERT_TRUE(writeTextFile(folder / "kept", "x"));
        std::vector<std::string> arguments = row.arguments;
        arguments.back() = folder / arguments.back();
        const pid_t child = startCapture(arguments);
        ASSERT_TRUE(waitForNames(folder, 2)) << arguments[0];
        kill(child, row.signal);
        EXPECT_EQ(exitStatus(child), 128 + row.signal) << arguments[0];
        EXPECT_EQ(folder.names(), std::vector<std::string>{"kept"}) << arguments[0];
    }
    // The line it says: interrupted once its temporary file is there, so its handlers are too.
    ScratchFolder folder;
    const ToolRun said = runCommand("(until ls " + folder.path +
                                    "/.*.part >/dev/null 2>&1; do sleep 0.05; done; kill -INT $$) & exec " +
                                    toolPath("quorlax-capture") + " wav " + folder / "interrupted.wav");
    EXPECT_EQ(said.exitCode, 130);
    EXPECT_NE(said.output.find("quorlax-capture: interrupted; the output was not written\n"),
              std::string::npos)
        << said.output;
}

// Started under nohup, a capture goes on when its terminal goes away.
TEST(CaptureHostile, SignalIgnoredAtStartStaysIgnored) {
    ScratchFolder folder;
    const pid_t child = startCapture({"wav", "--frames", "882000", folder / "out.wav"}, SIGHUP);
    ASSERT_TRUE(waitForNames(folder, 1));
    kill(child, SIGHUP);
    EXPECT_EQ(exitStatus(child), 0);
    WavFile wav;
    EXPECT_EQ(readWavFile((folder / "out.wav").c_str(), &wav), "");
    EXPECT_EQ(wav.factFrames, 882000u);
}

// Several captures into one file: each writes a temporary of its own and renames it whole, so the
// file is one of theirs, complete, and nothing else is left.
TEST(CaptureHostile, ConcurrentWritersLeaveOneWholeFile) {
    ScratchFolder folder;
    const std::string one =
        toolPath("quorlax-capture") + " wav --quiet --frames 44100 " + folder / "same.wav";
    const ToolRun run = runCommand(one + " & " + one + " & " + one + " & wait %1 && wait %2 && wait %3");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(folder.names(), std::vector<std::string>{"same.wav"});
    WavFile wav;
    EXPECT_EQ(readWavFile((folder / "same.wav").c_str(), &wav), "");
    EXPECT_EQ(wav.factFrames, 44100u);
}

// The file size limit stands in for a full disk: the write fails part way.
TEST(CaptureHostile, FailedWriteExitsOneWithTheCause) {
    ScratchFolder folder;
    ASSERT_TRUE(writeTextFile(folder / "out.wav", "kept"));
    const ToolRun run = runCommand("trap '' XFSZ; ulimit -f 8; " + toolPath("quorlax-capture") +
                                   " wav --frames 44100 " + folder / "out.wav");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(
        run.output.find("quorlax-capture wav: cannot write '" + folder / "out.wav" + "': File too large"),
        std::string::npos)
        << run.output;
    EXPECT_EQ(readTextFile(folder / "out.wav"), "kept");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"out.wav"});
}

// Without a font the atlas would be empty, which is no picture of the rasteriser.
TEST(CaptureHostile, GlyphsWithoutFontsFailAndWriteNothing) {
    ScratchFolder folder;
    ASSERT_TRUE(writeTextFile(folder / "fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig><cachedir>" +
                                                         folder / "cache" + "</cachedir></fontconfig>\n"));
    const ToolRun run =
        runCapture("glyphs " + folder / "atlas.pgm", "FONTCONFIG_FILE=" + folder / "fonts.conf");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("quorlax-capture glyphs: no font can be opened"), std::string::npos)
        << run.output;
    EXPECT_EQ(access((folder / "atlas.pgm").c_str(), F_OK), -1);
    EXPECT_EQ(runCapture("glyphs " + folder / "atlas.pgm").exitCode, 0) << "the system's own fonts draw";
}

} // namespace
