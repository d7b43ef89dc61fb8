// quorlax-capture wav: renders the built-in song at full speed and writes it as a WAV file.
#include "capture/commands.h"
#include "capture/front_end.h"
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

namespace {

using Clock = std::chrono::steady_clock;

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

// Renders on the render thread, as the show does, and follows its progress; renders on this
// thread when no thread can be started.
void renderWithProgress(ProgressLine* progress) {
    SongOutput* song = songOutput();
    if (!startRenderThread()) {
        renderSongOutput(song);
        return;
    }
    while (!songRenderFinished()) {
        const uint32_t done = song->renderedFrames.load(std::memory_order_acquire);
        showProgress(progress, done / kAudioFrameRate, song->capacityFrames / kAudioFrameRate);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    endProgress(progress);
}

// The music to render: the built-in song and patch, or sources compiled here. False after
// printing the source's "file:line: message".
bool loadMusic(const CaptureOptions& options, std::vector<uint8_t>* song, std::vector<uint16_t>* patch) {
    std::string error;
    const uint16_t* builtinPatch = builtinPatchWords();
    patch->assign(builtinPatch, builtinPatch + kPatchWordCount);
    if (options.patch.path && !compilePatch(options.patch.bytes, options.patch.path, patch, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    size_t size = 0;
    const uint8_t* builtinSong = builtinSongBytes(&size);
    song->assign(builtinSong, builtinSong + size);
    if (options.song.path &&
        !compileSong(options.song.bytes, options.song.path, patch->data(), song, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    return true;
}

int runWav(const CaptureOptions& options, OutputFile* output) {
    std::vector<uint8_t> songData;
    std::vector<uint16_t> patchWords;
    if (!loadMusic(options, &songData, &patchWords)) return kExitFailed;
    std::FILE* file = fdopen(output->descriptor, "wb");
    if (!file) return writeFailure("wav", options, std::strerror(errno));
    output->descriptor = -1;

    const SongHeader& header = sequencer().song.header;
    silenceChannels(patchWords.data(), options.channels);
    if (!prepareSynth(songData.data(), songData.size(), patchWords.data())) {
        std::fclose(file);
        return commandFailure("wav", "out of memory preparing the synthesizer");
    }
    if (!options.quiet) std::fprintf(stderr, "quorlax-capture wav: %s\n", sampleBankSummary());
    uint32_t frames = header.lengthSamples > 0 ? uint32_t(header.lengthSamples) : 0;
    if (options.frames < frames) frames = uint32_t(options.frames);
    if (!allocateSongOutput(frames, header.samplesPerTick > 0 ? uint32_t(header.samplesPerTick) : 0)) {
        std::fclose(file);
        return commandFailure("wav", "out of memory for " + std::to_string(frames) + " frames");
    }

    const Clock::time_point start = Clock::now();
    ProgressLine progress = startProgress(options, "s of audio");
    renderWithProgress(&progress);
    const double wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();

    SongOutput* song = songOutput();
    const bool written = writeWav(file, song->frames, song->songFrames);
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    const std::string failure =
        !written || !closed ? std::strerror(written ? errno : writeErrno) : commitOutputFile(output);
    if (!failure.empty()) return writeFailure("wav", options, failure);
    const double audioSeconds = double(song->songFrames) / kAudioFrameRate;
    if (!options.quiet)
        std::printf("%s: %.2f s of audio in %.2f s wall time, %.1fx real time\n", options.output,
                    audioSeconds, wallSeconds, wallSeconds > 0.0 ? audioSeconds / wallSeconds : 0.0);
    return kExitDone;
}

} // namespace

const CaptureCommand kWavCapture = {
    .name = "wav",
    .bit = kWavCommand,
    .outputs = {".wav"},
    .summary = "Renders the soundtrack at full speed into a WAV file (IEEE float, stereo, 44,100 Hz).",
    .description =
        "Renders the built-in song, its whole length or its first N frames, as the show's render thread\n"
        "does, into OUT.wav (32-bit float samples). With --song and/or --patch it renders music sources\n"
        "instead, compiled here (the one not given stays the built-in one; a source error is printed as\n"
        "file:line: message, exit 1). --channels renders only the listed channels (0-15) with their\n"
        "share of the shared effects. On a terminal a progress line shows how far it is.",
    .run = runWav,
};
