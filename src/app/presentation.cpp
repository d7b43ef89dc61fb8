// The presentation: start-up in stages, one frame per call, and the stop.
#include "app/application.h"

#include "base/memory.h"
#include "framework/scenes.h"
#include "synth/audio_output.h"
#include "synth/builtin_song.h"
#include "synth/clock.h"
#include "synth/render_thread.h"
#include "synth/song.h"
#include "synth/synth.h"

#include <cstdio>
#include <cstring>

namespace {

SceneDescriptor* sceneTable;

void report(const ProgressSink* sink, int32_t stage) {
    sink->report(sink->context, stage);
}

} // namespace

int32_t startPresentation(const ProgressSink* sink) {
    report(sink, 0);
    SceneDescriptor rows[kSceneCount];
    buildSceneTable(rows);
    size_t songBytes = 0;
    const uint8_t* song = builtinSongBytes(&songBytes);
    SongHeader header;
    readSongHeader(song, songBytes, &header);
    configureClock(header);
    sceneTable = static_cast<SceneDescriptor*>(memAlloc(sizeof rows));
    // Without the table no scene can start: the same failure as any other start-up allocation.
    if (!sceneTable) return 0;
    std::memcpy(sceneTable, rows, sizeof rows);
    setSceneTable(sceneTable);
    report(sink, 50);
    const int32_t started = initScenes();
    if (!started) return 0;
    report(sink, 130);
    prepareSynth(song, songBytes, builtinPatchWords());
    report(sink, 190);
    startRenderThread();
    report(sink, 260);
    if (!openAudio())
        std::fputs("quorlax: no sound device could be opened; the show runs silently on the wall clock\n",
                   stderr);
    startPlayback();
    return started;
}

int32_t presentFrame() {
    const float time = musicTime();
    updateScenes(time);
    return time >= musicLength() - 2.0f;
}

void stopPresentation() {
    stopAudio();
    // Nothing may write the song buffer or touch the synthesizer once they are freed.
    stopRenderThread();
    releaseScenes();
    memFree(sceneTable);
    sceneTable = nullptr;
    setSceneTable(nullptr);
    releaseSynth();
    releaseSongOutput();
}
