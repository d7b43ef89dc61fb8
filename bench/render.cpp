// Rendering the built-in song: the offline render's speed as a multiple of real time, and the
// smallest lead the render thread keeps over a cursor that plays from the moment it starts.
#include "platform/platform.h"
#include "synth/audio_output.h"
#include "synth/builtin_song.h"
#include "synth/render_thread.h"
#include "synth/synth.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// CPU time of the calling thread, which is the one rendering: on a loaded machine it stays the
// measure of one core's work while the wall clock does not.
double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

void OfflineRenderOfTheBuiltinSong(benchmark::State& state) {
    size_t songBytes = 0;
    const uint8_t* song = builtinSongBytes(&songBytes);
    const uint32_t frames = 9733716;
    std::vector<float> out(2 * size_t(frames));
    double audioSeconds = 0.0, wallSeconds = 0.0, cpuSeconds = 0.0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const double cpuStart = threadCpuSeconds();
        if (!renderSong(song, songBytes, builtinPatchWords(), out.data(), frames))
            state.SkipWithError("prepare");
        benchmark::DoNotOptimize(out.data());
        cpuSeconds += threadCpuSeconds() - cpuStart;
        wallSeconds += std::chrono::duration<double>(Clock::now() - start).count();
        audioSeconds += frames / double(kAudioFrameRate);
    }
    releaseSynth();
    state.counters["xRealTime"] = audioSeconds / wallSeconds;
    state.counters["xRealTimeCpu"] = audioSeconds / cpuSeconds;
}
BENCHMARK(OfflineRenderOfTheBuiltinSong)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);

void RenderThreadLeadOverARealTimeCursor(benchmark::State& state) {
    size_t songBytes = 0;
    const uint8_t* song = builtinSongBytes(&songBytes);
    int64_t minimumLead = kNoLeadSeen;
    uint32_t underruns = 0;
    double audioSeconds = 0.0, wallSeconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        releaseSongOutput();
        if (!prepareSynth(song, songBytes, builtinPatchWords()) || !prepareSongOutput()) {
            state.SkipWithError("prepare");
            break;
        }
        SongOutput* output = songOutput();
        PlaybackWatch watch;
        resetPlaybackWatch(&watch);
        state.ResumeTiming();
        if (!startRenderThread()) {
            state.SkipWithError("thread");
            break;
        }
        while (output->renderState.load(std::memory_order_acquire) == kRenderNotStarted) {
        }
        // The cursor is looked at every millisecond from the first on (at 0 both counts are 0).
        const Clock::time_point start = Clock::now();
        while (!songRenderFinished()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const uint32_t rendered = output->renderedFrames.load(std::memory_order_acquire);
            const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            observePlayCursor(&watch, uint64_t(elapsed * kAudioFrameRate), rendered, output->songFrames);
        }
        wallSeconds += std::chrono::duration<double>(Clock::now() - start).count();
        audioSeconds += output->songFrames / double(kAudioFrameRate);
        minimumLead = std::min(minimumLead, watch.minimumLead.load());
        underruns += watch.underruns.load();
    }
    releaseSongOutput();
    releaseSynth();
    state.counters["minimumLeadFrames"] = double(minimumLead);
    state.counters["minimumLeadMs"] = double(minimumLead) * 1000.0 / kAudioFrameRate;
    state.counters["underruns"] = underruns;
    state.counters["xRealTime"] = audioSeconds / wallSeconds;
}
BENCHMARK(RenderThreadLeadOverARealTimeCursor)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(2);

} // namespace
