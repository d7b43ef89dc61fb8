// The show drawn without a screen: a headless GL context with the renderer and the eight scenes
// started on it, frames drawn at chosen presentation times and the window picture read back.
#pragma once

#include <cstdint>

struct InputText;

// Reads the track file of `tracks` when one was given (a refusal is printed as "file:line:
// message"), opens the context, starts the renderer and the scenes (the start-up pause is
// skipped), lays the file's tracks over the built-in ones and warns about scene programs that did
// not build. On failure prints why, prefixed with the command where the line is not a file's, and
// returns false with nothing left open.
bool startHeadlessShow(const char* command, int width, int height, const InputText& tracks);
// Draws one frame at `time` and waits for it; true when it started a scene (the driver compiles
// on a program's first draw, so such frames are slow).
bool drawShowFrame(float time);
// Reads the window picture (attachment 0 as copied to the window) as opaque RGBA, top row first.
void readShowPicture(uint8_t* rgba);
// The scene the last frame showed, 1 to 8.
int32_t shownScene();
void stopHeadlessShow();
