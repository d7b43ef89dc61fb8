// quorlax-capture video: renders a span of the show at a fixed frame rate without a screen and
// encodes it with its soundtrack through ffmpeg.
#include "capture/arguments.h"
#include "capture/commands.h"
#include "capture/encoder.h"
#include "capture/headless_show.h"
#include "framework/scenes.h"
#include "shared/capture_plan.h"
#include "shared/output_file.h"
#include "synth/builtin_song.h"
#include "synth/float_mode.h"
#include "synth/synth.h"

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

const char* const kVideoUsage =
    "  video --size WxH --fps N [--from T] [--to T] [--crf Q] [--quiet] OUT.mp4|OUT.mkv\n"
    "      Encodes the show from tick T to tick T with its soundtrack through ffmpeg: H.264 and\n"
    "      AAC in MP4, lossless FFV1 and FLAC in MKV.";

namespace {

const char kUsage[] =
    "usage: quorlax-capture video --size WxH --fps N [--from T] [--to T] [--crf Q] [--quiet] OUT\n"
    "\n"
    "Renders the show from presentation time --from (default 0) to --to (default the end of the\n"
    "show) in clock ticks, 16 2/3 a second, at N frames a second of presentation time: frame K shows\n"
    "tick from + K x (50/3)/N, so the result is the same whatever the speed of the machine. Frames\n"
    "are drawn in a headless W x H GL context with the warm-up and hand-over of 'frame' before the\n"
    "first one; frame K equals 'frame --tick T_K --fps N --frames 8+K' when --from is a frame of the\n"
    "N-per-second clock counted from tick 0 (every whole tick at 50 fps, every fifth at 30 or 60).\n"
    "The soundtrack of exactly the span is rendered alongside and muxed in.\n"
    "\n"
    "OUT.mp4: H.264 yuv420p at constant quality --crf Q (0 to 51, default 18; even sides needed)\n"
    "and AAC. OUT.mkv: lossless FFV1 (RGB) and FLAC. ffmpeg must be on PATH.\n"
    "\n"
    "On a terminal a progress bar shows frames done, frames per second and the time left; --quiet\n"
    "prints nothing but errors. At the end a line gives the rate and where the time went.\n"
    "\n"
    "OUT is written beside itself under a temporary name and renamed when complete: on a failure or\n"
    "Ctrl-C no partial file is left and an existing OUT stays as it was.\n"
    "\n"
    "Exit codes: 0 written; 1 failed after the start (no GL context, ffmpeg stopped or failed);\n"
    "2 bad arguments (size, rate, a span that is empty or past the end of the show, the file type),\n"
    "ffmpeg not found, or OUT cannot be written; 128+signal when interrupted.\n";

struct VideoOptions {
    int width = 0, height = 0;
    int framesPerSecond = 0;
    double from = 0.0, to = -1.0;
    int quality = 18;
    bool quiet = false;
    bool matroska = false;
    const char* output = nullptr;
};

int usageError(const char* message, const char* value = nullptr) {
    return argumentError("video", message, value);
}

bool endsWith(const char* text, const char* suffix) {
    const size_t length = std::strlen(text), suffixLength = std::strlen(suffix);
    return length >= suffixLength && strcasecmp(text + length - suffixLength, suffix) == 0;
}

// 0 when the options are complete, else the exit code (help printed: -1).
int parseOptions(int argc, char** argv, VideoOptions* options) {
    bool haveSize = false;
    for (int i = 0; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            std::fputs(kUsage, stdout);
            return -1;
        }
        if (std::strcmp(argument, "--quiet") == 0) {
            options->quiet = true;
            continue;
        }
        const bool takesValue = std::strcmp(argument, "--size") == 0 || std::strcmp(argument, "--fps") == 0 ||
                                std::strcmp(argument, "--from") == 0 || std::strcmp(argument, "--to") == 0 ||
                                std::strcmp(argument, "--crf") == 0;
        if (takesValue) {
            if (i + 1 >= argc) return usageError("missing value after", argument);
            const char* value = argv[++i];
            if (std::strcmp(argument, "--size") == 0) {
                if (!parseSize(value, &options->width, &options->height))
                    return usageError("--size needs WxH, each side 1 to 8192", value);
                haveSize = true;
            } else if (std::strcmp(argument, "--fps") == 0) {
                if (!parseCount(value, &options->framesPerSecond) || options->framesPerSecond < 1 ||
                    options->framesPerSecond > 240)
                    return usageError("--fps needs a whole number from 1 to 240", value);
            } else if (std::strcmp(argument, "--crf") == 0) {
                if (!parseCount(value, &options->quality) || options->quality > 51)
                    return usageError("--crf needs a whole number from 0 to 51", value);
            } else {
                double* tick = std::strcmp(argument, "--from") == 0 ? &options->from : &options->to;
                if (!parseNumber(value, tick) || *tick < 0.0)
                    return usageError("--from and --to need a time in ticks, 0 or more", value);
            }
        } else if (argument[0] == '-' && argument[1] != '\0') {
            return usageError("unknown option", argument);
        } else if (options->output) {
            return usageError("more than one output path", argument);
        } else {
            options->output = argument;
        }
    }
    if (!haveSize) return usageError("missing --size WxH");
    if (options->framesPerSecond == 0) return usageError("missing --fps N");
    if (!options->output) return usageError("missing the output path OUT.mp4 or OUT.mkv");
    options->matroska = endsWith(options->output, ".mkv");
    if (!options->matroska && !endsWith(options->output, ".mp4"))
        return usageError("the output must end in .mp4 or .mkv", options->output);
    if (!options->matroska && (options->width % 2 != 0 || options->height % 2 != 0))
        return usageError("H.264 in MP4 needs even sides (or use .mkv)");
    const double end = showLengthTicks();
    if (options->to < 0.0) options->to = end;
    if (options->from > end) return pastTheEnd("video", "--from", options->from);
    if (options->to > end) return pastTheEnd("video", "--to", options->to);
    if (options->to <= options->from) return usageError("--to must come after --from");
    return 0;
}

std::vector<std::string> encoderArguments(const std::string& ffmpeg, const VideoOptions& options,
                                          const std::string& file) {
    std::vector<std::string> arguments = {
        ffmpeg, "-hide_banner", "-nostats", "-loglevel", "error", "-y",
        // Frames from standard input, top row first, and the sound from descriptor 3.
        "-f", "rawvideo", "-pix_fmt", "rgba", "-s",
        std::to_string(options.width) + "x" + std::to_string(options.height), "-framerate",
        std::to_string(options.framesPerSecond), "-i", "pipe:0", "-f", "f32le", "-ar", "44100", "-ac", "2",
        "-i", "pipe:3", "-map", "0:v:0", "-map", "1:a:0"};
    const std::vector<std::string> codecs =
        options.matroska
            ? std::vector<std::string>{"-c:v", "ffv1", "-pix_fmt", "bgr0", "-c:a", "flac", "-f", "matroska"}
            : std::vector<std::string>{
                  "-c:v", "libx264", "-pix_fmt", "yuv420p", "-crf",      std::to_string(options.quality),
                  "-c:a", "aac",     "-b:a",     "192k",    "-movflags", "+faststart",
                  "-f",   "mp4"};
    arguments.insert(arguments.end(), codecs.begin(), codecs.end());
    arguments.push_back(file);
    return arguments;
}

// The soundtrack of the span: the song rendered from its start (the synthesizer is causal), the
// frames from `first` to `end` written to the encoder as they come.
struct SoundJob {
    int descriptor;
    uint64_t first, end;
    std::atomic<bool> stop{false};
    double seconds = 0.0; // spent rendering, not waiting for the encoder
    bool complete = false;
};

void renderSound(SoundJob* job) {
    size_t songBytes = 0;
    const uint8_t* song = builtinSongBytes(&songBytes);
    if (prepareSynth(song, songBytes, builtinPatchWords())) {
        FloatModeGuard mode;
        beginRender();
        std::vector<float> tick;
        uint64_t position = 0;
        bool open = true;
        while (open && position < job->end && !job->stop.load(std::memory_order_relaxed)) {
            tick.resize(2 * size_t(renderTickFrames()));
            const auto rendering = std::chrono::steady_clock::now();
            const uint64_t frames = renderTick(tick.data());
            job->seconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - rendering).count();
            const uint64_t from = std::max(position, job->first), to = std::min(position + frames, job->end);
            if (from < to)
                open = writeToEncoder(job->descriptor, &tick[2 * (from - position)],
                                      (to - from) * 2 * sizeof(float));
            position += frames;
        }
        job->complete = open && position >= job->end;
        releaseSynth();
    }
    // The end of the sound tells the encoder the stream is complete.
    close(job->descriptor);
}

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void drawProgress(int64_t done, int64_t total, double seconds) {
    constexpr int kWidth = 30;
    const int filled = int(double(done) / double(total) * kWidth);
    const double rate = seconds > 0.0 ? double(done) / seconds : 0.0;
    const int left = rate > 0.0 ? int(double(total - done) / rate + 0.5) : 0;
    std::printf("\r[%.*s%.*s] %lld/%lld frames  %.1f fps  %d:%02d left ", filled,
                "##############################", kWidth - filled, "..............................",
                (long long)done, (long long)total, rate, left / 60, left % 60);
    std::fflush(stdout);
}

// Where the main thread's time goes, per frame and per scene.
struct FrameTimes {
    double draw = 0.0, readback = 0.0, pipe = 0.0;
    double sceneSeconds[kSceneCount] = {};
    int64_t sceneFrames[kSceneCount] = {};
};

// Draws, reads back and sends the span's frames; false when the encoder stopped taking them.
bool sendFrames(const VideoOptions& options, int64_t frameCount, int descriptor, bool progress,
                FrameTimes* times) {
    const double ticksPerFrame = kCaptureTicksPerSecond / options.framesPerSecond;
    const float from = static_cast<float>(options.from);
    std::vector<float> warmUp(kMinimumWarmUpFrames + kHandOverFrames);
    const int32_t warmUpCount =
        planCaptureFrames(frameworkState()->sceneSelector, from, ticksPerFrame, kMinimumWarmUpFrames,
                          warmUp.data(), int32_t(warmUp.size()));
    for (int32_t i = 0; i + 1 < warmUpCount; ++i) drawShowFrame(warmUp[size_t(i)]);

    std::vector<uint8_t> picture(size_t(options.width) * size_t(options.height) * 4);
    const Clock::time_point start = Clock::now();
    for (int64_t k = 0; k < frameCount; ++k) {
        Clock::time_point at = Clock::now();
        drawShowFrame(k == 0 ? warmUp[size_t(warmUpCount - 1)] : captureClockTime(from, ticksPerFrame, k));
        const double draw = secondsSince(at);
        times->draw += draw;
        const int32_t scene = shownScene() - 1;
        times->sceneSeconds[scene] += draw;
        ++times->sceneFrames[scene];
        at = Clock::now();
        readShowPicture(picture.data());
        times->readback += secondsSince(at);
        at = Clock::now();
        if (!writeToEncoder(descriptor, picture.data(), picture.size())) return false;
        times->pipe += secondsSince(at);
        if (progress && ((k + 1) % 4 == 0 || k + 1 == frameCount))
            drawProgress(k + 1, frameCount, secondsSince(start));
    }
    if (progress) std::printf("\r%100s\r", "");
    return true;
}

void printSummary(const VideoOptions& options, int64_t frameCount, double seconds, const FrameTimes& times,
                  const SoundJob& sound) {
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    const double encoderCpu = double(children.ru_utime.tv_sec + children.ru_stime.tv_sec) +
                              double(children.ru_utime.tv_usec + children.ru_stime.tv_usec) * 1e-6;
    const double perFrame = 1000.0 / double(frameCount);
    std::printf(
        "%s: %lld frames %dx%d at %d fps (%.2f s) in %.1f s, %.1f frames/s; per frame %.1f ms drawing, "
        "%.1f ms readback, %.1f ms pipe; sound took %.1f s to render; ffmpeg used %.1f s CPU\n",
        options.output, (long long)frameCount, options.width, options.height, options.framesPerSecond,
        double(frameCount) / options.framesPerSecond, seconds, double(frameCount) / seconds,
        times.draw * perFrame, times.readback * perFrame, times.pipe * perFrame, sound.seconds, encoderCpu);
    std::printf("frames/s of drawing by scene:");
    for (int32_t scene = 0; scene < kSceneCount; ++scene)
        if (times.sceneFrames[scene] > 0)
            std::printf("  %d: %.1f", scene + 1,
                        double(times.sceneFrames[scene]) / times.sceneSeconds[scene]);
    std::printf("\n");
}

} // namespace

int runVideoCommand(int argc, char** argv) {
    VideoOptions options;
    const int parsed = parseOptions(argc, argv, &options);
    if (parsed < 0) return kExitDone;
    if (parsed > 0) return parsed;
    const std::string ffmpeg = findOnPath("ffmpeg");
    if (ffmpeg.empty()) {
        std::fprintf(stderr,
                     "quorlax-capture video: ffmpeg not found on PATH (install the ffmpeg package)\n");
        return kExitUsage;
    }
    OutputFile output;
    const std::string unusable = openOutputFile(options.output, &output);
    if (!unusable.empty()) {
        reportUnwritable("video", options.output, unusable.c_str());
        return kExitUsage;
    }
    close(output.descriptor);
    output.descriptor = -1;

    // Span in frames of the clock and in sound frames: 2,646 sound frames a tick.
    const int64_t frameCount = int64_t(
        std::ceil((options.to - options.from) * options.framesPerSecond / kCaptureTicksPerSecond - 1e-6));
    SoundJob sound;
    sound.first = uint64_t(std::llround(options.from * 2646.0));
    sound.end = uint64_t(std::llround(options.to * 2646.0));

    const Clock::time_point start = Clock::now();
    EncoderProcess encoder;
    if (!startEncoder(encoderArguments(ffmpeg, options, output.temporary), &encoder)) {
        discardOutputFile(&output);
        std::fprintf(stderr, "quorlax-capture video: cannot start %s\n", ffmpeg.c_str());
        return kExitFailed;
    }
    sound.descriptor = encoder.sound;
    encoder.sound = -1; // closed by the sound thread
    std::thread soundThread(renderSound, &sound);

    FrameTimes times;
    bool sent = false;
    if (startHeadlessShow("video", options.width, options.height)) {
        const bool progress = !options.quiet && isatty(STDOUT_FILENO);
        sent = sendFrames(options, frameCount, encoder.video, progress, &times);
        stopHeadlessShow();
    } else {
        sound.stop = true;
        stopEncoder(&encoder);
        soundThread.join();
        discardOutputFile(&output);
        return kExitFailed;
    }
    if (!sent) sound.stop = true;
    close(encoder.video);
    encoder.video = -1;
    soundThread.join();
    const std::string failure = finishEncoder(&encoder);
    if (!failure.empty() || !sent || !sound.complete) {
        discardOutputFile(&output);
        std::fprintf(stderr, "quorlax-capture video: ffmpeg failed: %s\n",
                     failure.empty() ? "it stopped reading early" : failure.c_str());
        return kExitFailed;
    }
    const std::string committed = commitOutputFile(&output);
    if (!committed.empty()) {
        reportUnwritable("video", options.output, committed.c_str());
        return kExitFailed;
    }
    if (!options.quiet) printSummary(options, frameCount, secondsSince(start), times, sound);
    return kExitDone;
}
