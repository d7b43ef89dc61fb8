// quorlax-capture frame: renders one moment of the show without a screen and writes the window
// picture as a PNG.
#include "capture/commands.h"
#include "framework/scenes.h"
#include "platform/headless_gl.h"
#include "platform/platform.h"
#include "renderer/gl_entries.h"
#include "renderer/renderer.h"
#include "shared/capture_plan.h"
#include "shared/png_file.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

const char* const kFrameUsage =
    "  frame --tick T --size WxH [--fps F] [--frames N] OUT.png\n"
    "      Draws the show headless up to presentation time T and writes the window picture.";

namespace {

constexpr int kMaximumSide = 8192;

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
    "Exit codes: 0 written; 1 no GL context or the renderer did not start; 2 bad arguments\n"
    "(missing --tick, --size or OUT, a malformed number or size) or OUT cannot be written.\n";

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
    float framesPerSecond = kDefaultCaptureFramesPerSecond;
    int frames = kMinimumWarmUpFrames;
    const char* output = nullptr;
};

int usageError(const char* message, const char* value = nullptr) {
    if (value)
        std::fprintf(stderr, "quorlax-capture frame: %s: '%s'\n", message, value);
    else
        std::fprintf(stderr, "quorlax-capture frame: %s\n", message);
    std::fprintf(stderr, "try 'quorlax-capture frame --help'\n");
    return kExitUsage;
}

bool parseFloat(const char* text, float* value) {
    char* end = nullptr;
    const float parsed = std::strtof(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

bool parseInt(const char* text, int* value) {
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (*end != '\0' || parsed > 1000000) return false;
    *value = static_cast<int>(parsed);
    return true;
}

// "WxH" with both sides from 1 to kMaximumSide.
bool parseSize(const char* text, int* width, int* height) {
    const char* cross = std::strchr(text, 'x');
    if (!cross) return false;
    const std::string widthText(text, cross);
    int w = 0, h = 0;
    if (!parseInt(widthText.c_str(), &w) || !parseInt(cross + 1, &h)) return false;
    if (w < 1 || h < 1 || w > kMaximumSide || h > kMaximumSide) return false;
    *width = w;
    *height = h;
    return true;
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
            if (std::strcmp(argument, "--tick") == 0) {
                if (!parseFloat(value, &options->tick) || options->tick < 0.0f)
                    return usageError("--tick needs a time in ticks, 0 or more", value);
                haveTick = true;
            } else if (std::strcmp(argument, "--size") == 0) {
                if (!parseSize(value, &options->width, &options->height))
                    return usageError("--size needs WxH, each side 1 to 8192", value);
                haveSize = true;
            } else if (std::strcmp(argument, "--fps") == 0) {
                if (!parseFloat(value, &options->framesPerSecond) || options->framesPerSecond <= 0.0f)
                    return usageError("--fps needs a positive number", value);
            } else {
                if (!parseInt(value, &options->frames) || options->frames < kMinimumWarmUpFrames ||
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

// Whether `path` can be opened for writing; a file this check creates is removed again.
bool isWritable(const char* path) {
    FILE* existing = std::fopen(path, "rb");
    if (existing) std::fclose(existing);
    FILE* file = std::fopen(path, "ab");
    if (!file) return false;
    std::fclose(file);
    if (!existing) std::remove(path);
    return true;
}

void skipSleep(uint32_t) {}

// Starts the scenes on the open context, draws the planned frames and reads the window back.
int renderFrames(const FrameOptions& options, std::vector<uint8_t>* pixels) {
    if (!initRenderer(nullptr, options.width, options.height)) {
        std::fprintf(stderr, "quorlax-capture frame: a GL entry point is missing (%s)\n",
                     headlessGlDescription());
        return kExitFailed;
    }
    platformServices()->sleepMs = skipSleep;
    static SceneDescriptor rows[kSceneCount];
    buildSceneTable(rows);
    setSceneTable(rows);
    if (!initScenes()) {
        std::fprintf(stderr, "quorlax-capture frame: the scenes did not start\n");
        releaseScenes();
        return kExitFailed;
    }
    for (int32_t i = 0; i < kSceneCount; ++i) {
        listSeek(frameworkState()->sceneStates, i);
        const auto* state = static_cast<const SceneState*>(listGet(frameworkState()->sceneStates).pointer);
        if (state->program < 0)
            std::fprintf(stderr, "warning: the program of scene %d did not build\n", i + 1);
    }

    const float ticksPerFrame = kCaptureTicksPerSecond / options.framesPerSecond;
    std::vector<float> times(static_cast<size_t>(options.frames + kHandOverFrames));
    const int32_t count = planCaptureFrames(frameworkState()->sceneSelector, options.tick, ticksPerFrame,
                                            options.frames, times.data(), static_cast<int32_t>(times.size()));
    double totalMs = 0;
    int32_t timed = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t sceneBefore = frameworkState()->lastActivated;
        const auto start = std::chrono::steady_clock::now();
        updateScenes(times[static_cast<size_t>(i)]);
        glFinish();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (frameworkState()->lastActivated == sceneBefore) {
            totalMs += ms;
            ++timed;
        }
    }

    pixels->assign(static_cast<size_t>(options.width) * options.height * 4, 0);
    GLX(glBindFramebuffer)(GL_FRAMEBUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, options.width, options.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels->data());
    // A window shows no transparency, but some scenes leave a partial alpha in attachment 0 (the
    // radial blur of scene 4 blurs it too); viewers would blend such a PNG with their background.
    for (size_t i = 3; i < pixels->size(); i += 4) (*pixels)[i] = 255;

    const int32_t scene = frameworkState()->lastActivated + 1;
    std::printf("tick %.3f: scene %d, %dx%d, %d frames (%d of the previous scene), %.1f ms per frame\n",
                options.tick, scene, options.width, options.height, count, count - options.frames,
                timed ? totalMs / timed : 0.0);
    releaseScenes();
    return 0;
}

} // namespace

int runFrameCommand(int argc, char** argv) {
    FrameOptions options;
    const int parsed = parseOptions(argc, argv, &options);
    if (parsed < 0) return 0;
    if (parsed > 0) return parsed;
    if (!isWritable(options.output)) {
        std::fprintf(stderr, "quorlax-capture frame: cannot write '%s'\n", options.output);
        return kExitUsage;
    }

    if (!openHeadlessGl(options.width, options.height)) {
        std::fprintf(stderr, "quorlax-capture frame: cannot open a headless GL context\n");
        return kExitFailed;
    }
    std::vector<uint8_t> pixels;
    const int result = renderFrames(options, &pixels);
    closeHeadlessGl();
    if (result != 0) return result;

    if (!writePngFile(options.output, pixels.data(), options.width, options.height, 1)) {
        std::fprintf(stderr, "quorlax-capture frame: cannot write '%s'\n", options.output);
        return kExitUsage;
    }
    return 0;
}
