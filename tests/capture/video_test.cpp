// quorlax-capture video: the frames and the sound of a span, and what a failure leaves behind.
#include "capture_support.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

const std::string kSpan = "--size 64x36 --fps 10 ";

std::string probe(const std::string& file, const std::string& stream, const std::string& entries) {
    return runCommand("ffprobe -v error -count_frames -select_streams " + stream +
                      " -show_entries stream=" + entries + " -of default=nw=1 " + file)
        .output;
}

// Frame `index` of a video as a PNG.
Picture videoFrame(const ScratchFolder& folder, const std::string& video, int index) {
    const std::string png = folder / ("frame" + std::to_string(index) + ".png");
    runCommand("ffmpeg -v error -i " + video + " -vf 'select=eq(n\\," + std::to_string(index) +
               ")' -frames:v 1 -pix_fmt rgba " + png);
    return readPicture(png);
}

Picture frameCapture(const ScratchFolder& folder, const std::string& arguments) {
    EXPECT_EQ(runCapture("frame " + kSpan + arguments + " " + folder / "still.png").exitCode, 0) << arguments;
    return readPicture(folder / "still.png");
}

} // namespace

TEST(CaptureVideo, LosslessVideoHoldsTheSpansFramesAndSound) {
    ScratchFolder folder;
    const std::string video = folder / "span.mkv";
    // 600 to 660 ticks is 3.6 s across the start of scene 2 (tick 636).
    const ToolRun run = runCapture("video " + kSpan + "--from 600 --to 660 --quiet " + video);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"span.mkv"});
    EXPECT_EQ(probe(video, "v", "codec_name,width,height,nb_read_frames"),
              "codec_name=ffv1\nwidth=64\nheight=36\nnb_read_frames=36\n");
    // FLAC keeps every sample: 3.6 s at 44,100 Hz, 8 bytes a frame.
    EXPECT_EQ(runCommand("ffmpeg -v error -i " + video + " -map 0:a -f f32le - | wc -c").output, "1270080\n");

    const Picture first = videoFrame(folder, video, 0), last = videoFrame(folder, video, 35);
    ASSERT_EQ(first.rgba.size(), 64u * 36u * 4u);
    EXPECT_TRUE(first.rgba == frameCapture(folder, "--tick 600").rgba)
        << "frame 0 is not the show at tick 600";
    EXPECT_TRUE(last.rgba == frameCapture(folder, "--tick 658.333333 --frames 43").rgba)
        << "frame 35 is not the show at tick 658 1/3";
    EXPECT_FALSE(first.rgba == last.rgba);
}

TEST(CaptureVideo, Mp4HoldsH264AndAacOfTheSpan) {
    ScratchFolder folder;
    const std::string video = folder / "span.mp4";
    // 12 ticks at 10 fps is 7.2 frames: 8 frames, and 0.72 s of sound.
    const ToolRun run = runCapture("video " + kSpan + "--from 1400 --to 1412 " + video);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("8 frames 64x36 at 10 fps"), std::string::npos) << run.output;
    EXPECT_EQ(probe(video, "v", "codec_name,pix_fmt,nb_read_frames"),
              "codec_name=h264\npix_fmt=yuv420p\nnb_read_frames=8\n");
    const std::string sound = probe(video, "a", "codec_name,duration");
    ASSERT_EQ(sound.substr(0, 15), "codec_name=aac\n") << sound;
    EXPECT_NEAR(std::stod(sound.substr(sound.find("duration=") + 9)), 0.72, 1024.0 / 44100.0);
}

// An executable script named ffmpeg in a folder of its own, for PATH.
std::string fakeEncoder(const ScratchFolder& folder, const std::string& name, const std::string& script,
                        const char* mode = "+x") {
    const std::string dir = folder / name;
    EXPECT_EQ(runCommand("mkdir " + dir).exitCode, 0);
    EXPECT_TRUE(writeTextFile(dir + "/ffmpeg", script));
    EXPECT_EQ(runCommand(std::string("chmod ") + mode + " " + dir + "/ffmpeg").exitCode, 0);
    return "PATH=" + dir + ":/usr/bin:/bin";
}

TEST(CaptureVideo, EncoderFailuresExitWithTheirCodeAndLeaveNoFile) {
    ScratchFolder folder;
    const std::string out = folder / "out.mkv";
    writeTextFile(out, "kept");
    const std::string span = "video " + kSpan + "--from 600 --to 660 " + out;
    struct Case {
        std::string environment;
        int exitCode;
        std::string message;
    } cases[] = {
        {"PATH=/nonexistent", 2, "ffmpeg not found on PATH"},
        // Only the folder of a file named ffmpeg that cannot be run.
        {fakeEncoder(folder, "unrunnable", "#!/bin/sh\nexit 0\n", "-x")
             .substr(0, 5 + (folder / "unrunnable").size()),
         2, "ffmpeg not found on PATH"},
        // An encoder that takes a little of the first frame and dies.
        {fakeEncoder(folder, "dies",
                     "#!/bin/sh\nhead -c 5000 >/dev/null\necho 'encoder gave up' >&2\nexit 3\n"),
         1, "ffmpeg failed: encoder gave up (exit status 3)"},
        {fakeEncoder(folder, "leaves", "#!/bin/sh\nexit 0\n"), 1, "ffmpeg failed: it stopped reading early"},
        {fakeEncoder(folder, "broken", "#!/nonexistent/interpreter\n"), 1,
         "ffmpeg failed: it stopped with exit status 127"},
    };
    for (const Case& c : cases) {
        const ToolRun run = runCapture(span, c.environment);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.environment << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.environment << "\n" << run.output;
    }
    EXPECT_EQ(folder.names(),
              (std::vector<std::string>{"broken", "dies", "leaves", "out.mkv", "unrunnable"}));
    EXPECT_TRUE(readTextFile(out) == "kept") << "the existing output was replaced";
}

// Ctrl-C or SIGTERM while ffmpeg takes the frames, or while it hangs without reading any: the
// encoder is stopped and nothing is left.
TEST(CaptureVideo, InterruptStopsTheEncoderAndRemovesThePartialFile) {
    const struct {
        const char* script;
        int signal;
    } cases[] = {
        {"#!/bin/sh\necho $$ >\"$(dirname \"$0\")/pid\"\nexec cat >/dev/null\n", SIGINT},
        {"#!/bin/sh\necho $$ >\"$(dirname \"$0\")/pid\"\nexec sleep 600\n", SIGTERM},
    };
    for (const auto& c : cases) {
        ScratchFolder folder;
        const std::string environment = fakeEncoder(folder, "fake", c.script);
        const pid_t child = fork();
        if (child == 0) {
            setenv("PATH", environment.substr(5).c_str(), 1);
            const std::string tool = toolPath("quorlax-capture"), out = folder / "out.mp4";
            execl(tool.c_str(), tool.c_str(), "video", "--size", "64x36", "--fps", "10", "--quiet",
                  out.c_str(), nullptr);
            _exit(127);
        }
        // The encoder says its process id once it runs.
        for (int i = 0; i < 1000 && readTextFile(folder / "fake/pid").empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const int encoder = std::atoi(readTextFile(folder / "fake/pid").c_str());
        ASSERT_GT(encoder, 0);
        ASSERT_EQ(folder.names().size(), 2u);
        kill(child, c.signal);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + c.signal) << status;
        EXPECT_EQ(folder.names(), std::vector<std::string>{"fake"});
        EXPECT_NE(kill(encoder, 0), 0) << "the encoder outlived the capture";
    }
}
