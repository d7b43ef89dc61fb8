// quorlax-capture frame: renders one moment of the show without a screen and writes the window
// picture as a PNG.
#include "capture/commands.h"
#include "capture/headless_show.h"
#include "framework/scenes.h"
#include "shared/capture_plan.h"
#include "shared/output_file.h"
#include "shared/png_file.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Draws the planned frames on the started show and reads the window back.
void renderFrames(const CaptureOptions& options, std::vector<uint8_t>* pixels) {
    const double ticksPerFrame = builtinSongClock().ticksPerSecond / options.framesPerSecond;
    const int32_t warmUp = int32_t(options.frames);
    std::vector<float> times(static_cast<size_t>(warmUp + kHandOverFrames));
    const float tick = static_cast<float>(options.tick);
    const int32_t count = planCaptureFrames(frameworkState()->sceneSelector, tick, ticksPerFrame, warmUp,
                                            times.data(), static_cast<int32_t>(times.size()));
    ProgressLine progress = startProgress(options, "frames");
    double totalMs = 0;
    int32_t timed = 0;
    for (int32_t i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const bool startedScene = drawShowFrame(times[static_cast<size_t>(i)]);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (!startedScene) {
            totalMs += ms;
            ++timed;
        }
        showProgress(&progress, i + 1, count);
    }
    endProgress(&progress);
    pixels->assign(static_cast<size_t>(options.width) * options.height * 4, 0);
    readShowPicture(pixels->data());
    if (!options.quiet)
        std::printf("tick %.3f: scene %d, %dx%d, %d frames (%d of the previous scene), %.1f ms per frame\n",
                    options.tick, shownScene(), options.width, options.height, count, count - warmUp,
                    timed ? totalMs / timed : 0.0);
}

int runFrame(const CaptureOptions& options, OutputFile* output) {
    if (!startHeadlessShow("frame", options.width, options.height, options.tracks)) return kExitFailed;
    std::vector<uint8_t> pixels;
    renderFrames(options, &pixels);
    stopHeadlessShow();
    const std::string failure = writePngOutput(output, pixels.data(), options.width, options.height, 0);
    if (!failure.empty()) return writeFailure("frame", options, failure);
    return kExitDone;
}

} // namespace

const CaptureCommand kFrameCapture = {
    .name = "frame",
    .bit = kFrameCommand,
    .outputs = {".png"},
    .summary = "Draws the show headless up to presentation time T and writes the window picture.",
    .description =
        "Renders the show at presentation time T in a headless W x H GL context and writes the window\n"
        "picture (attachment 0 as copied to the window, letter-box included) to OUT.png, opaque as a\n"
        "window shows it. No sound is made.\n"
        "\n"
        "The scene programs show each picture one frame late and feed it back, so the command first\n"
        "draws a warm-up run of N frames at F frames per second of presentation time (5/18 tick apart\n"
        "at 60), the last one at T, each with the track values of its own time; times before 0 are held\n"
        "at 0. When that run starts inside the scene active at T, the previous scene's last two frames\n"
        "before the scene's first tick are drawn first, so a picture it hands over (scene 3 to scene 4)\n"
        "is there as in the show. The 5 s pause of the scene start is skipped.\n"
        "\n"
        "Prints the scene, the frame count and the time of one frame: the mean over the frames that do\n"
        "not start a scene (the driver compiles a program on its first draw), GL finished after each.\n"
        "\n"
        "When T is a frame of the F-per-second clock counted from tick 0, the warm-up frames are that\n"
        "clock's frames, so with --frames 8+K this redraws frame K of a video started there bit for bit.",
    .run = runFrame,
};
