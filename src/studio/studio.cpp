#include "studio/studio.h"

#include "framework/scenes.h"
#include "platform/audio_device.h"
#include "platform/platform.h"
#include "platform/studio_window.h"
#include "renderer/gl_entries.h"
#include "shared/capture_plan.h"
#include "studio/overlay.h"
#include "studio/source_reload.h"
#include "studio/studio_music.h"
#include "synth/builtin_song.h"
#include "synth/clock.h"
#include "synth/song.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr const char* kWindowTitle = "Varnholt Quorlax Studio";
// The show ends this many ticks before its music.
constexpr float kEndMargin = 2.0f;
// A size change is taken once the window has kept its new size this long (dragging a border
// would otherwise rebuild the render targets every frame).
constexpr uint64_t kResizeQuietMicroseconds = 200000;
// The overlay's frame time is the mean over this long: readable, and still current.
constexpr uint64_t kFigureMicroseconds = 250000;

struct Studio {
    StudioState state;
    StudioOptions options;
    StudioLinkPoll linkPoll = nullptr;
    void* linkContext = nullptr;
    TimelineMarks marks;
    bool quit = false;
    bool dragging = false;
    bool jumped = false; // the playhead jumped this frame: the feedback targets are primed again
    bool pictureDrawn = false;
    uint32_t holdFrame = 0;
    uint64_t resizeNoticed = 0;
    std::string printedLine;
    std::string shownMusic;
    // Frames drawn without a jump, a reload or a resize, and their time: the exit line's mean.
    uint64_t steadyFrames = 0;
    double steadyMilliseconds = 0.0;
};

Studio studio;

void skipSleep(uint32_t) {}

uint64_t now() {
    return audioDeviceServices()->nowMicroseconds();
}

void printLine(const std::string& line) {
    if (!studio.options.printState) return;
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void refreshTimeline() {
    StudioTimeline& timeline = studio.state.timeline;
    sceneStartTicks(timeline.sceneStarts);
    const uint32_t frames = studioSongFrames();
    timeline.length = std::max(0.0f, (frames ? clockTimeAtFrame(frames) : musicLength()) - kEndMargin);
    studio.marks.flashes.clear();
    const int32_t fade = findTrack(&frameworkState()->registry, "fadetime");
    if (fade >= 0) {
        const ParameterTrack* track = frameworkState()->registry.tracks[fade];
        for (int32_t key = 0; key < track->count; ++key)
            studio.marks.flashes.push_back(float(track->keys[key].time));
    }
}

int32_t selectedScene(float tick) {
    const int32_t index = truncateToInt(evaluateTrack(frameworkState()->sceneSelector, tick));
    return std::clamp(index, 0, kSceneCount - 1) + 1;
}

// Draws the frames before `tick` that the capture tool draws, so the fed-back pictures are those
// the show has at that moment; the loop then draws the frame itself.
void primeFeedback(float tick) {
    float times[kMinimumWarmUpFrames + kHandOverFrames];
    const int32_t count = planCaptureFrames(
        frameworkState()->sceneSelector, tick, double(clockTicksPerSecond()) / kDefaultCaptureFramesPerSecond,
        kMinimumWarmUpFrames, times, kMinimumWarmUpFrames + kHandOverFrames);
    for (int32_t i = 0; i + 1 < count; ++i) updateScenes(times[i]);
}

void restartMusic() {
    studio.state.waiting = false;
    seekStudioMusic(clockFrameAtTime(studio.state.transport.tick), !studio.state.transport.paused);
}

void jumpTo(float tick) {
    studio.state.transport.tick = std::clamp(tick, 0.0f, studio.state.timeline.length);
    restartMusic();
    studio.jumped = true;
}

void applyCommand(TransportCommand command) {
    if (command.action == TransportQuit) {
        studio.quit = true;
        return;
    }
    if (command.action == TransportReload) {
        markAllSources(true);
        return;
    }
    const bool wasPaused = studio.state.transport.paused;
    if (applyTransport(&studio.state.transport, &studio.state.timeline, command)) {
        jumpTo(studio.state.transport.tick);
    } else if (wasPaused != studio.state.transport.paused) {
        restartMusic();
    }
}

void seekOnTimeline(int32_t x) {
    const TimelineLayout layout = timelineLayout(studio.state.windowWidth, studio.state.windowHeight);
    applyCommand({TransportSeek, timelineTickAt(x, layout.left, layout.width, studio.state.timeline.length)});
}

void handleEvents() {
    StudioEvent event;
    while (studioWindowServices()->nextStudioEvent(&event)) {
        switch (event.type) {
        case StudioEventQuit:
            studio.quit = true;
            break;
        case StudioEventKey:
            applyCommand(transportCommandForKey(event.key, event.shift != 0));
            break;
        case StudioEventPress:
            studio.dragging = onTimeline(timelineLayout(studio.state.windowWidth, studio.state.windowHeight),
                                         event.x, event.y);
            if (studio.dragging) seekOnTimeline(event.x);
            break;
        case StudioEventDrag:
            if (studio.dragging) seekOnTimeline(event.x);
            break;
        case StudioEventRelease:
            studio.dragging = false;
            break;
        case StudioEventResize:
            studio.resizeNoticed = now();
            break;
        default:
            break;
        }
    }
    if (platformServices()->quitRequested()) studio.quit = true;
}

void pollLink() {
    if (!studio.linkPoll) return;
    StudioRequests requests;
    studio.linkPoll(studio.linkContext, &studio.state, &requests);
    if (requests.pause && !studio.state.transport.paused) applyCommand({TransportPlayPause, 0});
    if (requests.play && studio.state.transport.paused) applyCommand({TransportPlayPause, 0});
    if (requests.seek) applyCommand({TransportSeek, requests.tick});
    if (requests.tracksChanged) {
        refreshTimeline();
        studio.jumped = true;
    }
    if (!requests.status.empty() && requests.status != studio.state.linkStatus) {
        studio.state.linkStatus = requests.status;
        printLine("link " + requests.status);
    }
}

void reportReload(void*, const ReloadOutcome& outcome) {
    StudioState& state = studio.state;
    state.reloadStatus = outcome.what + (outcome.ok ? " ok " : " error ") + outcome.detail;
    if (!outcome.ok) {
        std::fputs(outcome.error.c_str(), stderr);
        state.lastError = outcome.error.substr(0, outcome.error.find('\n'));
    } else {
        state.lastError.clear();
    }
    printLine("reload " + state.reloadStatus);
    if (outcome.what == "tracks" && outcome.redraw) refreshTimeline();
    // New programs or keys change the picture: it is drawn again from the primed targets.
    if (outcome.redraw) studio.jumped = true;
}

// Moves the playhead with the music while playing: the device's play position is the clock, and
// the picture waits while the render has not reached it.
void advancePlayhead() {
    StudioState& state = studio.state;
    if (state.transport.paused) return;
    if (state.waiting) {
        if (!studioMusicReady(studio.holdFrame)) return;
        state.waiting = false;
        seekStudioMusic(studio.holdFrame, true);
        return;
    }
    const uint32_t frame = studioMusicFrame();
    if (!studioMusicReady(frame)) {
        state.waiting = true;
        studio.holdFrame = frame;
        seekStudioMusic(frame, false);
        return;
    }
    const float tick = clockTimeAtFrame(frame);
    const float wrapped = wrapPlayhead(&state.transport, &state.timeline, tick);
    if (tick >= state.timeline.length && !state.transport.looping) {
        state.transport.paused = true;
        jumpTo(state.timeline.length);
    } else if (wrapped != tick) {
        jumpTo(wrapped);
    } else {
        state.transport.tick = tick;
    }
}

// The picture size for the window: window size x scale, at least one pixel.
void pictureSizeFor(int32_t windowWidth, int32_t windowHeight, int32_t* width, int32_t* height) {
    *width = std::max(1, static_cast<int32_t>(std::lround(double(windowWidth) * studio.state.scale)));
    *height = std::max(1, static_cast<int32_t>(std::lround(double(windowHeight) * studio.state.scale)));
}

void applyResize() {
    StudioState& state = studio.state;
    int32_t width = 0, height = 0;
    studioWindowServices()->studioDrawableSize(&width, &height);
    if (width <= 0 || height <= 0) return;
    state.windowWidth = width;
    state.windowHeight = height;
    if (studio.resizeNoticed == 0 || now() - studio.resizeNoticed < kResizeQuietMicroseconds) return;
    studio.resizeNoticed = 0;
    int32_t pictureWidth = 0, pictureHeight = 0;
    pictureSizeFor(width, height, &pictureWidth, &pictureHeight);
    if (pictureWidth == state.pictureWidth && pictureHeight == state.pictureHeight) return;
    state.pictureWidth = pictureWidth;
    state.pictureHeight = pictureHeight;
    initRenderer(nullptr, pictureWidth, pictureHeight);
    destroyRenderTargets(renderTargets());
    createRenderTargets(renderTargets(), rendererSettings(), pictureWidth, pictureHeight);
    studio.jumped = true;
}

void drawFrame() {
    StudioState& state = studio.state;
    if (studio.jumped) primeFeedback(state.transport.tick);
    // Paused, the picture of the moment stays as it was drawn: the scenes feed each frame back
    // into the next, and frames at one unchanging time are not what the show ever shows.
    const bool draw = studio.jumped || !state.transport.paused || !studio.pictureDrawn;
    if (draw) updateScenes(state.transport.tick);
    studio.pictureDrawn = true;
    // The frame pass copied the picture to the window's corner at its own size; scaled to the
    // whole window it covers that copy. Attachment 0 of the frame just drawn is still attached.
    if (!draw || state.pictureWidth != state.windowWidth || state.pictureHeight != state.windowHeight)
        GLX(glBlitNamedFramebuffer)
    (renderTargets()->framebuffer, 0, 0, 0, state.pictureWidth, state.pictureHeight, 0, 0, state.windowWidth,
     state.windowHeight, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    if (state.transport.overlay)
        drawOverlay(studioOverlayLines(state), state.transport, state.timeline, studio.marks,
                    state.windowWidth, state.windowHeight);
    studioWindowServices()->swapStudioWindow();
}

void printStateWhenChanged() {
    const std::string line = studioStateLine(studio.state);
    // While playing the tick moves every frame; the line is written when anything else changes or
    // the playhead jumps.
    const std::string withoutTick = line.substr(line.find(" scene "));
    const std::string printedWithoutTick =
        studio.printedLine.empty() ? std::string()
                                   : studio.printedLine.substr(studio.printedLine.find(" scene "));
    if (studio.printedLine.empty() || studio.jumped || withoutTick != printedWithoutTick) {
        printLine(line);
        studio.printedLine = line;
    }
    if (studioMusicFingerprint() != studio.shownMusic) {
        studio.shownMusic = studioMusicFingerprint();
        printLine("music " + studio.shownMusic);
    }
}

bool startShow(const StudioOptions& options) {
    StudioState& state = studio.state;
    int32_t width = 0, height = 0;
    studioWindowServices()->studioDrawableSize(&width, &height);
    state.windowWidth = width > 0 ? width : options.width;
    state.windowHeight = height > 0 ? height : options.height;
    pictureSizeFor(state.windowWidth, state.windowHeight, &state.pictureWidth, &state.pictureHeight);
    return startStudioScenes(state.pictureWidth, state.pictureHeight);
}

void runLoop() {
    uint64_t frameStart = now(), windowStart = frameStart;
    double windowMilliseconds = 0.0;
    int64_t windowFrames = 0;
    while (!studio.quit) {
        handleEvents();
        pollLink();
        const bool reloaded = pollSourceTree(now());
        if (reloaded) reloadDueSources(now(), reportReload, nullptr);
        advancePlayhead();
        if (updateStudioMusic(clockFrameAtTime(studio.state.transport.tick))) refreshTimeline();
        applyResize();
        const bool steady = !studio.jumped && !reloaded;
        studio.state.scene = selectedScene(studio.state.transport.tick);
        drawFrame();
        // Written once the frame that shows the state is on the screen.
        printStateWhenChanged();
        studio.jumped = false;
        const uint64_t end = now();
        const double milliseconds = double(end - frameStart) / 1000.0;
        frameStart = end;
        windowMilliseconds += milliseconds;
        ++windowFrames;
        if (end - windowStart >= kFigureMicroseconds) {
            studio.state.frameMilliseconds = windowMilliseconds / double(windowFrames);
            windowStart = end;
            windowMilliseconds = 0.0;
            windowFrames = 0;
        }
        if (steady) {
            ++studio.steadyFrames;
            studio.steadyMilliseconds += milliseconds;
        }
    }
}

} // namespace

bool startStudioScenes(int32_t pictureWidth, int32_t pictureHeight) {
    if (!initRenderer(nullptr, pictureWidth, pictureHeight)) {
        std::fputs("quorlax-studio: a GL entry point is missing\n", stderr);
        return false;
    }
    // The built-in song's clock until the song the studio renders plays (they agree unless the
    // tree's music was edited before the start).
    size_t songBytes = 0;
    const uint8_t* song = builtinSongBytes(&songBytes);
    SongHeader header;
    readSongHeader(song, songBytes, &header);
    configureClock(header);
    static SceneDescriptor rows[kSceneCount];
    buildSceneTable(rows);
    setSceneTable(rows);
    // The show's start-up pause is for its progress bar; the studio has none.
    void (*sleep)(uint32_t) = platformServices()->sleepMs;
    platformServices()->sleepMs = skipSleep;
    const int32_t started = initScenes();
    platformServices()->sleepMs = sleep;
    if (!started) {
        std::fputs("quorlax-studio: the scenes did not start\n", stderr);
        return false;
    }
    for (int32_t i = 0; i < kSceneCount; ++i)
        if (sceneStateAt(i) && sceneStateAt(i)->program < 0)
            std::fprintf(stderr, "quorlax-studio: the program of scene %d did not build\n", i + 1);
    return true;
}

void setStudioLink(StudioLinkPoll poll, void* context) {
    studio.linkPoll = poll;
    studio.linkContext = context;
}

const char* studioStatusWord(const StudioState& state) {
    if (state.waiting) return "waiting";
    if (state.transport.paused) return "paused";
    return state.transport.looping ? "looping" : "playing";
}

std::string studioStateLine(const StudioState& state) {
    char line[96];
    std::snprintf(line, sizeof line, "tick %.2f scene %d %s", double(state.transport.tick), state.scene,
                  studioStatusWord(state));
    std::string text = line;
    if (state.transport.looping) {
        std::snprintf(line, sizeof line, " loop %.2f:%.2f", double(state.transport.loopFrom),
                      double(state.transport.loopTo));
        text += line;
    }
    if (!state.transport.overlay) text += " overlay off";
    return text;
}

std::vector<std::string> studioOverlayLines(const StudioState& state) {
    std::vector<std::string> lines;
    char line[160];
    const MusicalPosition position = musicalPosition(state.transport.tick);
    std::snprintf(line, sizeof line, "tick %8.2f  %d:%d:%d  scene %d", double(state.transport.tick),
                  position.bar, position.beat, position.row, state.scene);
    lines.push_back(line);
    const double fps = state.frameMilliseconds > 0.0 ? 1000.0 / state.frameMilliseconds : 0.0;
    std::snprintf(line, sizeof line, "%6.1f ms %6.1f fps  scale %.2f %dx%d", state.frameMilliseconds, fps,
                  double(state.scale), state.pictureWidth, state.pictureHeight);
    lines.push_back(line);
    if (state.waiting) {
        lines.push_back("waiting for the music render");
    } else if (state.transport.looping) {
        std::snprintf(line, sizeof line, "%s  loop %.2f to %.2f",
                      state.transport.paused ? "paused" : "looping", double(state.transport.loopFrom),
                      double(state.transport.loopTo));
        lines.push_back(line);
    } else {
        lines.push_back(state.transport.paused ? "paused" : "playing");
    }
    lines.push_back("reload: " + (state.reloadStatus.empty() ? std::string("-") : state.reloadStatus));
    if (!state.linkStatus.empty()) lines.push_back("link: " + state.linkStatus);
    if (!state.lastError.empty()) lines.push_back(state.lastError.substr(0, 96));
    return lines;
}

int runStudio(const StudioOptions& options) {
    platformServices()->catchQuitRequests();
    studio.options = options;
    StudioState& state = studio.state;
    state.scale = options.scale;
    state.transport = {options.tick, options.paused, options.loop, options.loopFrom, options.loopTo, true};
    if (!studioWindowServices()->openStudioWindow(kWindowTitle, options.width, options.height)) {
        std::fputs("quorlax-studio: cannot open a window with a GL 4.5 context (is DISPLAY set?)\n", stderr);
        return 1;
    }
    if (!startShow(options)) {
        releaseScenes();
        studioWindowServices()->closeStudioWindow();
        return 1;
    }
    openSourceTree(options.sources);
    if (!options.sources.empty() && !sourceTreeWatched())
        std::fprintf(stderr, "quorlax-studio: %s cannot be watched; F5 reloads it\n",
                     options.sources.c_str());
    std::string musicError;
    startingMusic(&musicError);
    if (!musicError.empty()) {
        std::fprintf(stderr, "%s\nquorlax-studio: the built-in music plays instead\n", musicError.c_str());
        state.lastError = musicError;
    }
    if (!openStudioSound())
        std::fputs("quorlax-studio: no sound device could be opened; the wall clock drives the playhead\n",
                   stderr);
    markAllSources(false);
    refreshTimeline();
    jumpTo(state.transport.tick);

    runLoop();

    if (options.printState)
        printLine("quit frames " + std::to_string(studio.steadyFrames) + " mean " +
                  std::to_string(studio.steadyFrames ? studio.steadyMilliseconds / double(studio.steadyFrames)
                                                     : 0.0) +
                  " ms");
    releaseStudioMusic();
    closeSourceTree();
    closeOverlay();
    releaseScenes();
    studioWindowServices()->closeStudioWindow();
    return 0;
}
