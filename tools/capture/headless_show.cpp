#include "capture/headless_show.h"

#include "capture/front_end.h"
#include "framework/scenes.h"
#include "platform/headless_gl.h"
#include "platform/platform.h"
#include "renderer/gl_entries.h"
#include "renderer/renderer.h"
#include "synth/song_clock.h"
#include "trackc/track_override.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

int gWidth = 0, gHeight = 0;
std::vector<uint8_t> gRows;

void skipSleep(uint32_t) {}

} // namespace

bool startHeadlessShow(const char* command, int width, int height, const InputText& tracks) {
    TrackDocument document;
    std::string error;
    if (tracks.path &&
        !readTrackDocument(tracks.bytes, tracks.path, builtinSongClock().beatsPerMinute, &document, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    if (!openHeadlessGl(width, height)) {
        std::fprintf(stderr, "quorlax-capture %s: cannot open a headless GL context\n", command);
        return false;
    }
    if (!initRenderer(nullptr, width, height)) {
        std::fprintf(stderr, "quorlax-capture %s: a GL entry point is missing (%s)\n", command,
                     headlessGlDescription());
        closeHeadlessGl();
        return false;
    }
    platformServices()->sleepMs = skipSleep;
    static SceneDescriptor rows[kSceneCount];
    buildSceneTable(rows);
    setSceneTable(rows);
    if (!initScenes()) {
        std::fprintf(stderr, "quorlax-capture %s: the scenes did not start\n", command);
        stopHeadlessShow();
        return false;
    }
    if (tracks.path && !replaceTrackKeys(&frameworkState()->registry, document, tracks.path, &error)) {
        std::fprintf(stderr, "quorlax-capture %s: %s\n", command, error.c_str());
        stopHeadlessShow();
        return false;
    }
    for (int32_t i = 0; i < kSceneCount; ++i) {
        const SceneState* state = sceneStateAt(i);
        if (state && state->program < 0)
            std::fprintf(stderr, "warning: the program of scene %d did not build\n", i + 1);
    }
    gWidth = width;
    gHeight = height;
    return true;
}

bool drawShowFrame(float time) {
    const int32_t before = frameworkState()->lastActivated;
    updateScenes(time);
    glFinish();
    return frameworkState()->lastActivated != before;
}

void readShowPicture(uint8_t* rgba) {
    const size_t row = static_cast<size_t>(gWidth) * 4;
    gRows.resize(row * static_cast<size_t>(gHeight));
    GLX(glBindFramebuffer)(GL_FRAMEBUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, gWidth, gHeight, GL_RGBA, GL_UNSIGNED_BYTE, gRows.data());
    // GL reads the bottom row first. A window shows no transparency, but some scenes leave a
    // partial alpha in attachment 0 (the radial blur of scene 4 blurs it too).
    for (int y = 0; y < gHeight; ++y) {
        uint8_t* to = rgba + row * static_cast<size_t>(y);
        std::memcpy(to, &gRows[row * static_cast<size_t>(gHeight - 1 - y)], row);
        for (size_t i = 3; i < row; i += 4) to[i] = 255;
    }
}

int32_t shownScene() {
    return frameworkState()->lastActivated + 1;
}

void stopHeadlessShow() {
    releaseScenes();
    closeHeadlessGl();
}
