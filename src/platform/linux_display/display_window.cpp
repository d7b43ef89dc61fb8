// The display services on Linux: an SDL2 window with a GL context, SDL's mode list, the progress
// picture drawn with GL, and the GTK setup dialog.
#include "platform/display.h"

#include "platform/linux_display/display_problem.h"
#include "platform/linux_display/gl_window.h"
#include "platform/linux_display/setup_dialog_gtk.h"
#include "platform/platform.h"

#include <GL/gl.h>
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct LinuxWindow {
    SDL_Window* window;
    SDL_GLContext context;
    int videoStarted;
    int cursorHidden;
};

LinuxWindow display;

} // namespace

SDL_Window* createGlWindow(const char* title, int32_t width, int32_t height, const PixelFormatRequest* format,
                           uint32_t flags) {
    const int channelBits = std::min(format->colorBits, 24) / 3;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channelBits);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channelBits);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channelBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, format->doubleBuffer ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    // The depth buffer asked for, or the nearest smaller one the server has, as a Windows driver
    // picks the closest pixel format.
    const int32_t depths[] = {format->depthBits, 24, 16};
    for (int32_t depth : depths) {
        if (depth > format->depthBits) continue;
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth);
        SDL_Window* window =
            SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
        if (window) return window;
    }
    return nullptr;
}

bool startVideo() {
    // The program catches the quit signals itself (platform.h); SDL's handlers would turn them
    // into an event that nobody reads while the dialog is open.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (!display.videoStarted) display.videoStarted = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    return display.videoStarted;
}

namespace {

int linuxDisplayAvailable() {
    setDisplayProblem("");
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (!(x && *x) && !(wayland && *wayland)) {
        setDisplayProblem("no display found (X or Wayland)");
        return 0;
    }
    // SDL falls back to a driver without a screen (offscreen, KMS) when the one named cannot be
    // reached; that is no display to show a dialog and a window on.
    const char* driver = startVideo() ? SDL_GetCurrentVideoDriver() : nullptr;
    if (driver && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0)) return 1;
    if (display.videoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    display.videoStarted = 0;
    const bool named = x && *x;
    setDisplayProblem(std::string("cannot open the display '") + (named ? x : wayland) + "' (" +
                      (named ? "DISPLAY" : "WAYLAND_DISPLAY") + ")");
    return 0;
}

int linuxDisplayModeAt(int32_t index, DisplayMode* mode) {
    SDL_DisplayMode reported{};
    if (!startVideo() || SDL_GetDisplayMode(0, index, &reported) != 0) return 0;
    *mode = {reported.w, reported.h, static_cast<int32_t>(SDL_BITSPERPIXEL(reported.format)),
             reported.refresh_rate};
    return 1;
}

// Switches the window's display to exactly the chosen size; a refused or missing mode fails.
bool enterFullscreen(const WindowSettings* settings) {
    SDL_DisplayMode wanted{};
    wanted.w = settings->mode.width;
    wanted.h = settings->mode.height;
    SDL_DisplayMode closest{};
    if (!SDL_GetClosestDisplayMode(0, &wanted, &closest)) return false;
    if (closest.w != wanted.w || closest.h != wanted.h) return false;
    if (SDL_SetWindowDisplayMode(display.window, &closest) != 0) return false;
    if (SDL_SetWindowFullscreen(display.window, SDL_WINDOW_FULLSCREEN) != 0) return false;
    SDL_ShowCursor(SDL_DISABLE);
    display.cursorHidden = 1;
    return true;
}

int linuxCreateDisplayWindow(const PixelFormatRequest* format, const WindowSettings* settings) {
    if (!startVideo()) return 0;
    const Uint32 flags = SDL_WINDOW_OPENGL | (settings->fullscreen ? SDL_WINDOW_HIDDEN : 0);
    display.window =
        createGlWindow("Varnholt Quorlax", settings->mode.width, settings->mode.height, format, flags);
    if (!display.window) return 0;
    if (settings->fullscreen) {
        if (!enterFullscreen(settings)) return 0;
        SDL_ShowWindow(display.window);
    }
    display.context = SDL_GL_CreateContext(display.window);
    if (!display.context || SDL_GL_MakeCurrent(display.window, display.context) != 0) return 0;
    SDL_DisableScreenSaver();
    SDL_RaiseWindow(display.window);
    return 1;
}

void linuxDestroyDisplayWindow() {
    if (display.context) {
        SDL_GL_MakeCurrent(display.window, nullptr);
        SDL_GL_DeleteContext(display.context);
    }
    // Destroying a full-screen window puts the display's own mode back.
    if (display.window) SDL_DestroyWindow(display.window);
    if (display.cursorHidden) SDL_ShowCursor(SDL_ENABLE);
    if (display.videoStarted) {
        SDL_EnableScreenSaver();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    display = {};
}

void* linuxDisplayDeviceContext() {
    return nullptr;
}

int linuxPumpDisplayEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) return 1;
        if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) return 1;
        if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE) return 1;
    }
    return 0;
}

void linuxSwapDisplayBuffers() {
    if (display.window) SDL_GL_SwapWindow(display.window);
}

// Fills window rows [top, bottom) and columns [left, right) (top row 0), clipped to the window.
void fillRows(const ProgressPicture* picture, int32_t left, int32_t top, int32_t right, int32_t bottom,
              float grey) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, picture->width);
    bottom = std::min(bottom, picture->height);
    if (left >= right || top >= bottom) return;
    glScissor(left, picture->height - bottom, right - left, bottom - top);
    glClearColor(grey, grey, grey, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

// The picture a GDI Rectangle with a 1-pixel black pen and a white brush makes: the outline takes
// the outer rows and columns of [left, right) x [top, bottom), the white fills what is inside.
void linuxPaintProgress(const ProgressPicture* picture) {
    using BindFramebuffer = void (*)(GLenum, GLuint);
    // The renderer may have left its framebuffer bound; the picture goes to the window's.
    if (auto bind = reinterpret_cast<BindFramebuffer>(platformServices()->getGlProc("glBindFramebuffer")))
        bind(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, picture->width, picture->height);
    glEnable(GL_SCISSOR_TEST);
    fillRows(picture, 0, 0, picture->width, picture->height, 0.0f);
    fillRows(picture, picture->barLeft + 1, picture->barTop + 1, picture->barRight - 1,
             picture->barBottom - 1, 1.0f);
    glDisable(GL_SCISSOR_TEST);
    displayServices()->swapDisplayBuffers();
}

constexpr DisplayServices kLinuxDisplay = {
    .displayAvailable = linuxDisplayAvailable,
    .displayModeAt = linuxDisplayModeAt,
    .showSetupDialog = gtkShowSetupDialog,
    .createDisplayWindow = linuxCreateDisplayWindow,
    .destroyDisplayWindow = linuxDestroyDisplayWindow,
    .displayDeviceContext = linuxDisplayDeviceContext,
    .pumpDisplayEvents = linuxPumpDisplayEvents,
    .swapDisplayBuffers = linuxSwapDisplayBuffers,
    .paintProgress = linuxPaintProgress,
    .displayProblem = linuxDisplayProblem,
};

DisplayServices services = kLinuxDisplay;

std::string lastProblem;

} // namespace

void setDisplayProblem(const std::string& problem) {
    lastProblem = problem;
}

const char* linuxDisplayProblem() {
    return lastProblem.c_str();
}

DisplayServices* displayServices() {
    return &services;
}

void resetDisplayServices() {
    services = kLinuxDisplay;
}
