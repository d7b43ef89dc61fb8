// What the show's window and the studio's share on Linux: SDL's video start and a window with
// the show's GL context attributes.
#pragma once

#include "platform/display.h"

#include <SDL2/SDL.h>

#include <cstdint>

// Starts SDL's video once (without SDL's signal handlers); true when it runs.
bool startVideo();
// A window with `flags` (SDL_WINDOW_OPENGL among them) whose GL context will be a 4.5
// compatibility one of the pixel format asked for; null when none can be made.
SDL_Window* createGlWindow(const char* title, int32_t width, int32_t height, const PixelFormatRequest* format,
                           uint32_t flags);
