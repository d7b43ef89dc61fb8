// quorlax-capture frame: renders one moment of the show without a screen and writes the window
// picture as a PNG.
#include "capture/arguments.h"
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

const char* const kFrameUsage =
    "  frame --tick T --size WxH [--fps F] [--frames N] OUT.png\n"
    "      Draws the show headless up to presentation time T and writes the window picture.";

namespace {

const char kUsage[] =
    "usage: quorlax-capture frame --tick T --size WxH [--fps F] [--frames N] OUT.png\n"
    "\n"
    "Renders the show at presentation time T (clock ticks, 16 2/3 per second; the scenes start\n"
    "at %s) in a\n"
    "headless W x H GL context and writes the window picture (attachment 0 as copied to the\n"
    "window, letter-box included) to OUT.png, opaque as a window shows it. No sound is made.\n"
    "\n"
    "The scene programs show each picture one frame late and feed it back, so the command first\n"
    "draws a warm-up run of N frames (default and least 8) at F frames per second of\n"
    "presentation time (default 60, i.e. 5/18 tick apart), the last one at T, each with the track\n"
    "values of its own time; times before 0 are held at 0. When that run starts inside the scene\n"
    "active at T, the previous scene's last two frames before the scene's first tick are drawn\n"
    "first, so a picture it hands over (scene 3 to scene 4) is there as in the show. The 5 s pause\n"
    "of the scene start is skipped.\n"
    "\n"
    "Prints the scene, the frame count and the time of one frame: the mean over the frames that\n"
    "do not start a scene (the driver compiles a program on its first draw), GL finished after\n"
    "each.\n"
    "\n"
    "When T is a frame of the F-per-second clock counted from tick 0, the warm-up frames are that\n"
    "clock's frames, so with --frames 8+K this redraws frame K of a video started there bit for bit.\n"
    "\n"
    "OUT is written beside itself under a temporary name and renamed when complete: on any failure\n"
    "(or Ctrl-C) it is left as it was.\n"
    "\n"
    "Exit codes: 0 written; 1 no GL context, the renderer did not start or the write failed; 2 bad\n"
    "arguments (missing --tick, --size or OUT, a malformed number or size, a time past the end of\n"
    "the show) or OUT cannot be written (checked before anything is drawn).\n";

// The help, with the scene start ticks read from the choreography.
void printUsage() {
    char starts[160] = {};
    int used = 0;
    for (int32_t scene = 0; scene < kSceneCount && used < int(sizeof starts); ++scene)
        used += std::snprintf(starts + used, sizeof starts - used, "%s%d: %d", scene ? ", " : "", scene + 1,
                              int(sceneStartTick(scene)));
    std::printf(kUsage, starts);
}

struct FrameOptions {
    float tick = -1.0f;
    int width = 0;
    int height = 0;
    double framesPerSecond = kDefaultCaptureFramesPerSecond;
    int frames = kMinimumWarmUpFrames;
    const char* output = nullptr;
};

int usageError(const char* message, const char* value = nullptr) {
    return argumentError("frame", message, value);
}

// 0 when the options are complete, else the exit code (help printed: -1).
int parseOptions(int argc, char** argv, FrameOptions* options) {
    bool haveTick = false, haveSize = false;
    for (int i = 0; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            printUsage();
            return -1;
        }
        const bool takesValue = std::strcmp(argument, "--tick") == 0 ||
                                std::strcmp(argument, "--size") == 0 || std::strcmp(argument, "--fps") == 0 ||
                                std::strcmp(argument, "--frames") == 0;
        if (takesValue) {
            if (i + 1 >= argc) return usageError("missing value after", argument);
            const char* value = argv[++i];
            double number = 0.0;
            if (std::strcmp(argument, "--tick") == 0) {
                if (!parseNumber(value, &number) || number < 0.0)
                    return usageError("--tick needs a time in ticks, 0 or more", value);
                if (number > showLengthTicks()) return pastTheEnd("frame", "--tick", number);
                options->tick = static_cast<float>(number);
                haveTick = true;
            } else if (std::strcmp(argument, "--size") == 0) {
                if (!parseSize(value, &options->width, &options->height))
                    return usageError("--size needs WxH, each side 1 to 8192", value);
                haveSize = true;
            } else if (std::strcmp(argument, "--fps") == 0) {
                if (!parseNumber(value, &options->framesPerSecond) || options->framesPerSecond <= 0.0)
                    return usageError("--fps needs a positive number", value);
            } else {
                if (!parseCount(value, &options->frames) || options->frames < kMinimumWarmUpFrames ||
                    options->frames > kMaximumWarmUpFrames)
                    return usageError("--frames needs a count from 8 to 10000", value);
            }
        } else if (argument[0] == '-' && argument[1] != '\0') {
            return usageError("unknown option", argument);
        } else if (options->output) {
            return usageError("more than one output path", argument);
        } else {
            options->output = argument;
        }
    }
    if (!haveTick) return usageError("missing --tick T");
    if (!haveSize) return usageError("missing --size WxH");
    if (!options->output) return usageError("missing the output path OUT.png");
    return 0;
}

// Draws the planned frames on the started show and reads the window back.
void renderFrames(const FrameOptions& options, std::vector<uint8_t>* pixels) {
    const double ticksPerFrame = kCaptureTicksPerSecond / options.framesPerSecond;
    std::vector<float> times(static_cast<size_t>(options.frames + kHandOverFrames));
    const int32_t count = planCaptureFrames(frameworkState()->sceneSelector, options.tick, ticksPerFrame,
                                            options.frames, times.data(), static_cast<int32_t>(times.size()));
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
    }
    pixels->assign(static_cast<size_t>(options.width) * options.height * 4, 0);
    readShowPicture(pixels->data());
    std::printf("tick %.3f: scene %d, %dx%d, %d frames (%d of the previous scene), %.1f ms per frame\n",
                options.tick, shownScene(), options.width, options.height, count, count - options.frames,
                timed ? totalMs / timed : 0.0);
}

} // namespace

int runFrameCommand(int argc, char** argv) {
    FrameOptions options;
    const int parsed = parseOptions(argc, argv, &options);
    if (parsed < 0) return kExitDone;
    if (parsed > 0) return parsed;
    OutputFile output;
    const std::string unusable = openOutputFile(options.output, &output);
    if (!unusable.empty()) {
        reportUnwritable("frame", options.output, unusable.c_str());
        return kExitUsage;
    }
    if (!startHeadlessShow("frame", options.width, options.height)) {
        discardOutputFile(&output);
        return kExitFailed;
    }
    std::vector<uint8_t> pixels;
    renderFrames(options, &pixels);
    stopHeadlessShow();

    const std::string failure = writePngOutput(&output, pixels.data(), options.width, options.height, 0);
    if (!failure.empty()) {
        reportUnwritable("frame", options.output, failure.c_str());
        return kExitFailed;
    }
    return kExitDone;
}
