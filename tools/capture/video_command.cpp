// quorlax-capture video: renders a span of the show at a fixed frame rate without a screen and
// encodes it with its soundtrack through ffmpeg.
#include "base/audio_format.h"
#include "capture/commands.h"
#include "capture/encoder.h"
#include "capture/headless_show.h"
#include "framework/scenes.h"
#include "shared/capture_plan.h"
#include "shared/input_file.h"
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

namespace {

// Checks the span and the sides the container needs; the exit code of a bad one, else 0.
int checkSpan(const CaptureOptions& options) {
    const bool matroska = hasExtension(options.output, ".mkv");
    if (!matroska && (options.width % 2 != 0 || options.height % 2 != 0))
        return argumentError("video", "H.264 in MP4 needs even sides (or use .mkv)");
    if (options.to <= options.from) return argumentError("video", "--to must come after --from");
    // A span that holds no whole frame would make a video of one frame and a sliver of sound.
    const double frameTicks = builtinSongClock().ticksPerSecond / options.framesPerSecond;
    if (options.to - options.from < frameTicks) {
        char message[160];
        std::snprintf(message, sizeof message,
                      "the span from tick %.3f to %.3f is shorter than one frame at %d fps (%.3f ticks)",
                      options.from, options.to, int(options.framesPerSecond), frameTicks);
        return argumentError("video", message);
    }
    return 0;
}

std::vector<std::string> encoderArguments(const std::string& ffmpeg, const CaptureOptions& options,
                                          const std::string& file) {
    const bool matroska = hasExtension(options.output, ".mkv");
    std::vector<std::string> arguments = {
        ffmpeg, "-hide_banner", "-nostats", "-loglevel", "error", "-y",
        // Frames from standard input, top row first, and the sound from descriptor 3.
        "-f", "rawvideo", "-pix_fmt", "rgba", "-s",
        std::to_string(options.width) + "x" + std::to_string(options.height), "-framerate",
        std::to_string(int(options.framesPerSecond)), "-i", "pipe:0", "-f", "f32le", "-ar", std::to_string(kAudioFrameRate), "-ac",
        std::to_string(kAudioChannels), "-i", "pipe:3", "-map", "0:v:0", "-map", "1:a:0"};
    const std::vector<std::string> codecs =
        matroska
            ? std::vector<std::string>{"-c:v", "ffv1", "-pix_fmt", "bgr0", "-c:a", "flac", "-f", "matroska"}
            : std::vector<std::string>{
                  "-c:v", "libx264", "-pix_fmt", "yuv420p", "-crf",      std::to_string(int(options.quality)),
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

// Where the main thread's time goes, per frame and per scene.
struct FrameTimes {
    double draw = 0.0, readback = 0.0, pipe = 0.0;
    double sceneSeconds[kSceneCount] = {};
    int64_t sceneFrames[kSceneCount] = {};
};

// Draws, reads back and sends the span's frames; false when the encoder stopped taking them.
bool sendFrames(const CaptureOptions& options, int64_t frameCount, int descriptor, FrameTimes* times) {
    const double ticksPerFrame = builtinSongClock().ticksPerSecond / options.framesPerSecond;
    const float from = static_cast<float>(options.from);
    std::vector<float> warmUp(kMinimumWarmUpFrames + kHandOverFrames);
    const int32_t warmUpCount =
        planCaptureFrames(frameworkState()->sceneSelector, from, ticksPerFrame, kMinimumWarmUpFrames,
                          warmUp.data(), int32_t(warmUp.size()));
    for (int32_t i = 0; i + 1 < warmUpCount; ++i) drawShowFrame(warmUp[size_t(i)]);

    std::vector<uint8_t> picture(size_t(options.width) * size_t(options.height) * 4);
    ProgressLine progress = startProgress(options, "frames");
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
        showProgress(&progress, k + 1, frameCount);
    }
    endProgress(&progress);
    return true;
}

void printSummary(const CaptureOptions& options, int64_t frameCount, double seconds, const FrameTimes& times,
                  const SoundJob& sound) {
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    const double encoderCpu = double(children.ru_utime.tv_sec + children.ru_stime.tv_sec) +
                              double(children.ru_utime.tv_usec + children.ru_stime.tv_usec) * 1e-6;
    const double perFrame = 1000.0 / double(frameCount);
    std::printf(
        "%s: %lld frames %dx%d at %d fps (%.2f s) in %.1f s, %.1f frames/s; per frame %.1f ms drawing, "
        "%.1f ms readback, %.1f ms pipe; sound took %.1f s to render; ffmpeg used %.1f s CPU\n",
        options.output, (long long)frameCount, options.width, options.height, int(options.framesPerSecond),
        double(frameCount) / options.framesPerSecond, seconds, double(frameCount) / seconds,
        times.draw * perFrame, times.readback * perFrame, times.pipe * perFrame, sound.seconds, encoderCpu);
    std::printf("frames/s of drawing by scene:");
    for (int32_t scene = 0; scene < kSceneCount; ++scene)
        if (times.sceneFrames[scene] > 0)
            std::printf("  %d: %.1f", scene + 1,
                        double(times.sceneFrames[scene]) / times.sceneSeconds[scene]);
    std::printf("\n");
}

int runVideo(const CaptureOptions& options, OutputFile* output) {
    if (const int bad = checkSpan(options)) return bad;
    const std::string ffmpeg = findOnPath("ffmpeg");
    if (ffmpeg.empty()) {
        std::fprintf(stderr,
                     "quorlax-capture video: ffmpeg not found on PATH (install the ffmpeg package)\n");
        return kExitUsage;
    }
    // ffmpeg writes the temporary file itself, by its name.
    close(output->descriptor);
    output->descriptor = -1;

    // Span in frames of the clock and in sound frames: 2,646 sound frames a tick.
    const int64_t frameCount = int64_t(
        std::ceil((options.to - options.from) * options.framesPerSecond / builtinSongClock().ticksPerSecond - 1e-6));
    SoundJob sound;
    sound.first = uint64_t(std::llround(options.from * builtinSongClock().framesPerTick));
    sound.end = uint64_t(std::llround(options.to * builtinSongClock().framesPerTick));

    const Clock::time_point start = Clock::now();
    EncoderProcess encoder;
    if (!startEncoder(encoderArguments(ffmpeg, options, output->temporary), &encoder))
        return commandFailure("video", "cannot start " + ffmpeg);
    sound.descriptor = encoder.sound;
    encoder.sound = -1; // closed by the sound thread
    std::thread soundThread(renderSound, &sound);

    FrameTimes times;
    bool sent = false;
    if (startHeadlessShow("video", options.width, options.height, options.tracks)) {
        sent = sendFrames(options, frameCount, encoder.video, &times);
        stopHeadlessShow();
    } else {
        sound.stop = true;
        stopEncoder(&encoder);
        soundThread.join();
        return kExitFailed;
    }
    if (!sent) sound.stop = true;
    close(encoder.video);
    encoder.video = -1;
    soundThread.join();
    const std::string failure = finishEncoder(&encoder);
    if (!failure.empty() || !sent || !sound.complete)
        return commandFailure("video",
                              "ffmpeg failed: " + (failure.empty() ? "it stopped reading early" : failure));
    const std::string committed = commitOutputFile(output);
    if (!committed.empty()) return writeFailure("video", options, committed);
    if (!options.quiet) printSummary(options, frameCount, secondsSince(start), times, sound);
    return kExitDone;
}

} // namespace

const CaptureCommand kVideoCapture = {
    .name = "video",
    .bit = kVideoCommand,
    .outputs = {".mp4", ".mkv"},
    .summary = "Encodes a span of the show with its soundtrack through ffmpeg: H.264 and AAC in MP4, FFV1 "
               "and FLAC in MKV.",
    .description =
        "Renders the show from --from to --to at N frames a second of presentation time: frame K shows\n"
        "tick FROM + K x (50/3)/N, so the result is the same whatever the speed of the machine. Frames are\n"
        "drawn in a headless W x H GL context with the warm-up and hand-over of 'frame' before the first\n"
        "one; frame K equals 'frame --tick T_K --fps N --frames 8+K' when --from is a frame of the\n"
        "N-per-second clock counted from tick 0 (every whole tick at 50 fps, every fifth at 30 or 60).\n"
        "The soundtrack of exactly the span is rendered alongside and muxed in. The span must hold at\n"
        "least one frame.\n"
        "\n"
        "OUT.mp4: H.264 yuv420p at constant quality --crf (even sides needed) and AAC. OUT.mkv: lossless\n"
        "FFV1 (RGB) and FLAC. ffmpeg must be on PATH (exit 2 when it is not; 1 when it stops or fails).\n"
        "\n"
        "On a terminal a progress line shows the frames done and the time left. At the end a line gives\n"
        "the rate and where the time went.",
    .run = runVideo,
};
