// quorlax-capture video: the frames and the sound of a span, and what a failure leaves behind.
#include "capture_support.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
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
    EXPECT_EQ(capture("frame " + kSpan + arguments + " " + folder / "still.png").exitCode, 0) << arguments;
    return readPicture(folder / "still.png");
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

} // namespace

TEST(CaptureVideo, LosslessVideoHoldsTheSpansFramesAndSound) {
    ScratchFolder folder;
    const std::string video = folder / "span.mkv";
    // 600 to 660 ticks is 3.6 s across the start of scene 2 (tick 636).
    const ToolRun run = capture("video " + kSpan + "--from 600 --to 660 --quiet " + video);
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
    const ToolRun run = capture("video " + kSpan + "--from 1400 --to 1412 " + video);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("8 frames 64x36 at 10 fps"), std::string::npos) << run.output;
    EXPECT_EQ(probe(video, "v", "codec_name,pix_fmt,nb_read_frames"),
              "codec_name=h264\npix_fmt=yuv420p\nnb_read_frames=8\n");
    const std::string sound = probe(video, "a", "codec_name,duration");
    ASSERT_EQ(sound.substr(0, 15), "codec_name=aac\n") << sound;
    EXPECT_NEAR(std::stod(sound.substr(sound.find("duration=") + 9)), 0.72, 1024.0 / 44100.0);
}

TEST(CaptureVideo, FailuresExitWithTheirCodeAndLeaveNoFile) {
    ScratchFolder folder;
    const std::string out = folder / "out.mkv", fake = folder / "fake";
    writeFile(out, "kept");
    ASSERT_EQ(runCommand("mkdir " + fake).exitCode, 0);
    // An encoder that takes a little of the first frame and dies.
    writeFile(fake + "/ffmpeg", "#!/bin/sh\nhead -c 5000 >/dev/null\necho 'encoder gave up' >&2\nexit 3\n");
    ASSERT_EQ(runCommand("chmod +x " + fake + "/ffmpeg").exitCode, 0);
    struct Case {
        std::string arguments, environment;
        int exitCode;
        std::string message;
    } cases[] = {
        {"video --size 63x36 --fps 10 " + folder / "a.mp4", "", 2, "H.264 in MP4 needs even sides"},
        {"video " + kSpan + "--from 50 --to 50 " + out, "", 2, "--to must come after --from"},
        {"video " + kSpan + "--to 3679 " + out, "", 2,
         "--to 3679.000 is past the end of the show (tick 3678.65)"},
        {"video --size 64x36 --fps 0 " + out, "", 2, "--fps needs a whole number from 1 to 240"},
        {"video " + kSpan + folder / "a.avi", "", 2, "the output must end in .mp4 or .mkv"},
        {"frame --size 8x8 --tick 2147483648 " + folder / "a.png", "", 2,
         "--tick 2147483648.000 is past the end"},
        {"video " + kSpan + out, "PATH=/nonexistent", 2, "ffmpeg not found on PATH"},
        {"video " + kSpan + "/proc/a.mkv", "", 2, "cannot write '/proc/a.mkv'"},
        {"wav /proc/version", "", 2, "cannot write '/proc/version'"},
        {"frame --size 8x8 --tick 3 /dev/null", "", 2, "cannot write '/dev/null': it is not a regular file"},
        {"video " + kSpan + "--from 600 --to 660 " + out, "PATH=" + fake + ":/usr/bin:/bin", 1,
         "ffmpeg failed: encoder gave up (exit status 3)"},
    };
    for (const Case& c : cases) {
        const ToolRun run = capture(c.arguments, c.environment);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.arguments << "\n" << run.output;
    }
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"fake", "out.mkv"}));
    std::ifstream kept(out);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");
    ASSERT_TRUE(std::ifstream("/proc/version").good());
}

TEST(CaptureVideo, InterruptRemovesThePartialFile) {
    ScratchFolder folder;
    ASSERT_EQ(runCommand("mkdir " + folder / "fake").exitCode, 0);
    writeFile(folder / "fake/ffmpeg", "#!/bin/sh\nexec cat >/dev/null\n");
    ASSERT_EQ(runCommand("chmod +x " + folder / "fake/ffmpeg").exitCode, 0);
    const pid_t child = fork();
    if (child == 0) {
        setenv("PATH", (folder / "fake:/usr/bin:/bin").c_str(), 1);
        const std::string tool = std::string(QUORLAX_BIN_DIR) + "/quorlax-capture", out = folder / "out.mp4";
        execl(tool.c_str(), tool.c_str(), "video", "--size", "64x36", "--fps", "10", "--quiet", out.c_str(),
              nullptr);
        _exit(127);
    }
    // The temporary file appears beside the target before the show starts.
    for (int i = 0; i < 1000 && folder.names().size() < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(folder.names().size(), 2u);
    kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status;
    EXPECT_EQ(folder.names(), std::vector<std::string>{"fake"});
}
