// quorlax-capture wav: renders the built-in song at full speed and writes it as a WAV file.
#include "capture/arguments.h"
#include "capture/commands.h"
#include "platform/platform.h"
#include "shared/output_file.h"
#include "shared/wav_file.h"
#include "songc/songc.h"

#include "synth/builtin_song.h"
#include "synth/patch.h"
#include "synth/render_thread.h"
#include "synth/sample_bank.h"
#include "synth/sequencer.h"
#include "synth/synth.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

const char* const kWavUsage =
    "  wav [--frames N] OUT.wav\n"
    "      Renders the built-in song at full speed into OUT.wav (IEEE float, stereo, 44,100 Hz,\n"
    "      32 bits): the song's whole length, or its first N frames. With --song S.toml and/or\n"
    "      --patch P.toml it renders music sources instead, compiled here (the one not given\n"
    "      stays the built-in one; a source error is printed as file:line: message, exit 1).\n"
    "      --channels renders only the listed channels (0-15, e.g. 0,2,5-7) with their share\n"
    "      of the shared effects.";

namespace {

using Clock = std::chrono::steady_clock;

int usageError(const char* message, const char* detail) {
    std::fprintf(stderr, "quorlax-capture wav: %s%s\n%s\n", message, detail, kWavUsage);
    return kExitUsage;
}

bool parseFrames(const char* text, uint32_t* frames) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-' || value > UINT32_MAX) return false;
    *frames = static_cast<uint32_t>(value);
    return true;
}

// A channel list such as "0,2,5-7" as a bit mask; false when it is not one.
bool parseChannels(const char* text, uint32_t* mask) {
    *mask = 0;
    const char* at = text;
    while (true) {
        char* end = nullptr;
        const long first = std::strtol(at, &end, 10);
        long last = first;
        if (end == at || first < 0 || first >= kChannelCount) return false;
        if (*end == '-') {
            at = end + 1;
            last = std::strtol(at, &end, 10);
            if (end == at || last < first || last >= kChannelCount) return false;
        }
        for (long c = first; c <= last; ++c) *mask |= 1u << c;
        if (*end == '\0') return true;
        if (*end != ',') return false;
        at = end + 1;
    }
}

// The patch with every channel outside `mask` silenced: its output record keeps its size and
// place but takes a type without a processor, so neither it nor anything only it feeds is
// evaluated.
void silenceChannels(uint16_t* words, uint32_t mask) {
    constexpr int32_t kSilentType = 10;
    for (int32_t c = 0; c < kChannelCount; ++c) {
        uint16_t& header = words[channelOutputIndex(c)];
        if (!(mask >> c & 1))
            header = recordHeader(kSilentType, recordInputCount(header), recordShared(header));
    }
}

void drawProgress(uint32_t done, uint32_t total) {
    constexpr int kWidth = 40;
    const double share = total ? double(done) / total : 1.0;
    const int filled = int(share * kWidth);
    std::printf("\r[%.*s%.*s] %3d%%", filled, "########################################", kWidth - filled,
                "........................................", int(share * 100.0));
    std::fflush(stdout);
}

// Renders on the render thread, as the show does, and follows its progress; renders on this
// thread when no thread can be started.
void renderWithProgress(bool showProgress) {
    SongOutput* song = songOutput();
    if (!startRenderThread()) {
        renderSongOutput(song);
        return;
    }
    int shown = -1;
    while (!songRenderFinished()) {
        const uint32_t done = song->renderedFrames.load(std::memory_order_acquire);
        const int percent = song->capacityFrames ? int(uint64_t(done) * 100 / song->capacityFrames) : 100;
        if (showProgress && percent != shown) {
            drawProgress(done, song->capacityFrames);
            shown = percent;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (showProgress) std::printf("\r%60s\r", "");
}

// The music to render: the built-in song and patch, or sources compiled here. False after
// printing the source's "file:line: message".
bool loadMusic(const char* songPath, const char* patchPath, std::vector<uint8_t>* song,
               std::vector<uint16_t>* patch) {
    std::string text, error;
    const uint16_t* builtinPatch = builtinPatchWords();
    patch->assign(builtinPatch, builtinPatch + kPatchWordCount);
    if (patchPath && !(readFile(patchPath, &text, &error) && compilePatch(text, patchPath, patch, &error))) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    size_t size = 0;
    const uint8_t* builtinSong = builtinSongBytes(&size);
    song->assign(builtinSong, builtinSong + size);
    if (songPath &&
        !(readFile(songPath, &text, &error) && compileSong(text, songPath, patch->data(), song, &error))) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    return true;
}

} // namespace

int runWavCommand(int argc, char** argv) {
    const char* path = nullptr;
    const char* songPath = nullptr;
    const char* patchPath = nullptr;
    uint32_t frameLimit = UINT32_MAX;
    uint32_t channelMask = 0xFFFF;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("usage: quorlax-capture\n%s\n", kWavUsage);
            return kExitDone;
        }
        if (std::strcmp(argv[i], "--frames") == 0) {
            if (i + 1 >= argc || !parseFrames(argv[i + 1], &frameLimit))
                return usageError("--frames needs a whole number of frames", "");
            ++i;
        } else if (std::strcmp(argv[i], "--channels") == 0) {
            if (i + 1 >= argc || !parseChannels(argv[i + 1], &channelMask))
                return usageError("--channels needs a list of channels 0-15 such as 0,2,5-7", "");
            ++i;
        } else if (std::strcmp(argv[i], "--song") == 0 || std::strcmp(argv[i], "--patch") == 0) {
            if (i + 1 >= argc) return usageError("missing source path after ", argv[i]);
            (argv[i][2] == 's' ? songPath : patchPath) = argv[i + 1];
            ++i;
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return usageError("unknown option ", argv[i]);
        } else if (path) {
            return usageError("more than one output path: ", argv[i]);
        } else {
            path = argv[i];
        }
    }
    if (!path) return usageError("no output path given", "");
    std::vector<uint8_t> songData;
    std::vector<uint16_t> patchWords;
    if (!loadMusic(songPath, patchPath, &songData, &patchWords)) return kExitFailed;

    // Created beside the target before rendering, so a bad path is reported at once.
    OutputFile output;
    const std::string unusable = openOutputFile(path, &output);
    std::FILE* file = unusable.empty() ? fdopen(output.descriptor, "wb") : nullptr;
    if (!file) {
        reportUnwritable("wav", path, unusable.empty() ? std::strerror(errno) : unusable.c_str());
        discardOutputFile(&output);
        return kExitUsage;
    }
    output.descriptor = -1;

    const SongHeader& header = sequencer().song.header;
    silenceChannels(patchWords.data(), channelMask);
    if (!prepareSynth(songData.data(), songData.size(), patchWords.data())) {
        std::fclose(file);
        discardOutputFile(&output);
        std::fprintf(stderr, "quorlax-capture wav: out of memory preparing the synthesizer\n");
        return kExitFailed;
    }
    std::fprintf(stderr, "quorlax-capture wav: %s\n", sampleBankSummary());
    uint32_t frames = header.lengthSamples > 0 ? uint32_t(header.lengthSamples) : 0;
    if (frameLimit < frames) frames = frameLimit;
    if (!allocateSongOutput(frames, header.samplesPerTick > 0 ? uint32_t(header.samplesPerTick) : 0)) {
        std::fclose(file);
        discardOutputFile(&output);
        std::fprintf(stderr, "quorlax-capture wav: out of memory for %u frames\n", frames);
        return kExitFailed;
    }

    const Clock::time_point start = Clock::now();
    renderWithProgress(isatty(fileno(stdout)) != 0);
    const double wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();

    SongOutput* song = songOutput();
    const bool written = writeWav(file, song->frames, song->songFrames);
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    const std::string failure =
        !written || !closed ? std::strerror(written ? errno : writeErrno) : commitOutputFile(&output);
    if (!failure.empty()) {
        discardOutputFile(&output);
        reportUnwritable("wav", path, failure.c_str());
        return kExitFailed;
    }
    const double audioSeconds = double(song->songFrames) / kAudioFrameRate;
    std::printf("%s: %.2f s of audio in %.2f s wall time, %.1fx real time\n", path, audioSeconds, wallSeconds,
                wallSeconds > 0.0 ? audioSeconds / wallSeconds : 0.0);
    return kExitDone;
}
