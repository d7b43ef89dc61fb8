// The studio's window on Linux: an SDL2 window, resizable, with the show's GL context.
#include "platform/studio_window.h"

#include "platform/linux_display/gl_window.h"

#include <SDL2/SDL.h>

namespace {

struct StudioWindow {
    SDL_Window* window;
    SDL_GLContext context;
    int dragging;
};

StudioWindow studio;

// The show's pixel format: 32 colour bits, 32 depth bits, double buffered.
constexpr PixelFormatRequest kStudioPixelFormat = {32, 32, 1};

void linuxCloseStudioWindow() {
    if (studio.context) {
        SDL_GL_MakeCurrent(studio.window, nullptr);
        SDL_GL_DeleteContext(studio.context);
    }
    // SDL's video stays up, shared with the show's window code, until the process ends.
    if (studio.window) SDL_DestroyWindow(studio.window);
    studio = {};
}

int linuxOpenStudioWindow(const char* title, int32_t width, int32_t height) {
    if (!startVideo()) return 0;
    studio.window = createGlWindow(title, width, height, &kStudioPixelFormat,
                                   SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!studio.window) return 0;
    studio.context = SDL_GL_CreateContext(studio.window);
    if (!studio.context || SDL_GL_MakeCurrent(studio.window, studio.context) != 0) {
        linuxCloseStudioWindow();
        return 0;
    }
    SDL_RaiseWindow(studio.window);
    return 1;
}

int32_t studioKey(SDL_Keycode key) {
    switch (key) {
    case SDLK_ESCAPE:
        return StudioKeyEscape;
    case SDLK_LEFT:
        return StudioKeyLeft;
    case SDLK_RIGHT:
        return StudioKeyRight;
    case SDLK_PAGEUP:
        return StudioKeyPageUp;
    case SDLK_PAGEDOWN:
        return StudioKeyPageDown;
    case SDLK_HOME:
        return StudioKeyHome;
    case SDLK_F5:
        return StudioKeyF5;
    case SDLK_SPACE:
    case SDLK_h:
    case SDLK_l:
    case SDLK_LEFTBRACKET:
    case SDLK_RIGHTBRACKET:
        return static_cast<int32_t>(key);
    default:
        if (key >= SDLK_1 && key <= SDLK_8) return static_cast<int32_t>(key);
        if (key >= SDLK_KP_1 && key <= SDLK_KP_8) return '1' + static_cast<int32_t>(key - SDLK_KP_1);
        return StudioKeyOther;
    }
}

// Window coordinates are in SDL's window units; the studio works in drawable pixels.
void toDrawable(int32_t* x, int32_t* y) {
    int windowWidth = 0, windowHeight = 0, drawableWidth = 0, drawableHeight = 0;
    SDL_GetWindowSize(studio.window, &windowWidth, &windowHeight);
    SDL_GL_GetDrawableSize(studio.window, &drawableWidth, &drawableHeight);
    if (windowWidth > 0) *x = *x * drawableWidth / windowWidth;
    if (windowHeight > 0) *y = *y * drawableHeight / windowHeight;
}

int linuxNextStudioEvent(StudioEvent* out) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        *out = {};
        switch (event.type) {
        case SDL_QUIT:
            out->type = StudioEventQuit;
            return 1;
        case SDL_KEYDOWN:
            out->type = StudioEventKey;
            out->key = studioKey(event.key.keysym.sym);
            out->shift = (event.key.keysym.mod & KMOD_SHIFT) != 0;
            return 1;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (event.button.button != SDL_BUTTON_LEFT) break;
            studio.dragging = event.type == SDL_MOUSEBUTTONDOWN;
            out->type = studio.dragging ? StudioEventPress : StudioEventRelease;
            out->x = event.button.x;
            out->y = event.button.y;
            toDrawable(&out->x, &out->y);
            return 1;
        case SDL_MOUSEMOTION:
            if (!studio.dragging) break;
            out->type = StudioEventDrag;
            out->x = event.motion.x;
            out->y = event.motion.y;
            toDrawable(&out->x, &out->y);
            return 1;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                out->type = StudioEventResize;
                return 1;
            }
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                out->type = StudioEventQuit;
                return 1;
            }
            break;
        default:
            break;
        }
    }
    return 0;
}

void linuxStudioDrawableSize(int32_t* width, int32_t* height) {
    int w = 0, h = 0;
    if (studio.window) SDL_GL_GetDrawableSize(studio.window, &w, &h);
    *width = w;
    *height = h;
}

void linuxSwapStudioWindow() {
    if (studio.window) SDL_GL_SwapWindow(studio.window);
}

StudioWindowServices services = {linuxOpenStudioWindow, linuxCloseStudioWindow, linuxNextStudioEvent,
                                 linuxStudioDrawableSize, linuxSwapStudioWindow};

} // namespace

StudioWindowServices* studioWindowServices() {
    return &services;
}
