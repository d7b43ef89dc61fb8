// Operating-system services for the portable core: the only door from src/ to the OS.
#pragma once

#include "base/audio_format.h"

#include <cstddef>
#include <cstdint>

using GlProc = void (*)();
using ThreadEntry = void (*)(void* argument);

// A font opened for glyph rasterising; what it holds belongs to the platform layer.
struct GlyphFont;

// An 8-bit coverage image that glyphs are drawn into: pixel (x, y) is the byte at
// pixels[y * rowBytes + x * pixelBytes], top row first, 0 background, 255 fully covered. A pixel
// step above 1 lets the rasteriser draw into one channel of an RGBA image.
struct GlyphCanvas {
    uint8_t* pixels;
    int32_t width, height;
    int32_t rowBytes, pixelBytes;
};

// Where the pen position of drawGlyph sits on the character cell (the box of the font's ascent
// plus descent, as wide as the character's advance).
enum GlyphAlignment : int32_t {
    GlyphAlignLeftTop = 0,   // pen at the cell's left edge and top
    GlyphAlignCentreTop = 1, // pen at the middle of the advance (left edge = x - advance / 2) and top
};

// The services as one record of functions, so a shell can switch implementations (a window's
// GL loader instead of the headless one) and tests can replace single entries (a sleep that
// does not wait). Every field is always set.
struct PlatformServices {
    // Address of a GL or window-system entry point by name, or null when the driver lacks it.
    GlProc (*getGlProc)(const char* name);
    // Sets the swap interval of the current context; returns non-zero on success.
    int (*setSwapInterval)(int interval);
    void (*sleepMs)(uint32_t milliseconds);
    // Starts a detached thread, at raised priority where the system allows it; 1 on success.
    int (*startThread)(ThreadEntry entry, void* argument, int raisedPriority);
    // Reads a whole file into a block from memAlloc (caller frees); null when it cannot.
    void* (*readWholeFile)(const char* path, size_t* size);
    // Shows a modal warning message (or prints it where no display exists).
    void (*messageBox)(const char* text);

    // Glyph rasteriser: 8-bit character codes of the system's ANSI code page drawn white on black
    // with a transparent background, the way a GDI TextOutA into a memory bitmap draws them.
    // Opens the installed face nearest to `faceName` (another face where it is missing) scaled so
    // that ascent plus descent is `cellHeight` pixels, bold or regular, antialiased (grey edges) or
    // not. `referenceContext` is the window's device context on Windows (the memory context is
    // made compatible with it; null: the screen) and is ignored elsewhere. Null when no face can
    // be opened.
    GlyphFont* (*openGlyphFont)(void* referenceContext, const char* faceName, int32_t cellHeight,
                                int32_t bold, int32_t antialias);
    // Draws one character with its cell's top at y and its pen at x as `alignment` says, clipped to
    // the canvas; a covered pixel is lightened towards 255 by the glyph's coverage and never
    // darkened. Codes the face has no glyph for draw nothing (or the default character where the
    // system substitutes one). A GDI implementation renders into a memory bitmap of the font
    // (SetTextAlign TA_LEFT|TA_TOP or TA_CENTER|TA_TOP, white text, TRANSPARENT background) and
    // copies one channel of it into the canvas.
    void (*drawGlyph)(GlyphFont* font, const GlyphCanvas* canvas, int32_t code, int32_t x, int32_t y,
                      int32_t alignment);
    // Releases the font and everything the rasteriser made for it; null is ignored.
    void (*closeGlyphFont)(GlyphFont* font);

    // Reads at most `limit` bytes of the system's General MIDI sound bank into a block from
    // memAlloc (caller frees); null when no bank can be read.
    // Only regular files with at least one byte count; no place is waited on (a FIFO or a
    // device is passed over), and the search goes on to the next place after one that fails.
    void* (*readSoundBank)(size_t limit, size_t* size);
    // Where the last readSoundBank call found the bank; "" when it found none.
    const char* (*soundBankSource)();

    // Quit requests from outside the program (SIGINT, SIGTERM and SIGHUP on Linux; Windows has
    // none, its ways out being the window's and the dialog's own): from catchQuitRequests on they
    // no longer end the process at once. quitRequested then gives the number of the first one that
    // arrived (0 while none has); sleepMs returns at once from then on (a sleep under way ends),
    // and the setup dialog ends as if Quit was pressed. A signal the program was started with ignored (nohup)
    // stays ignored.
    void (*catchQuitRequests)();
    int32_t (*quitRequested)();
};

// The process-wide services, initialised with this system's implementations.
PlatformServices* platformServices();
// Puts every field back to this system's implementation.
void resetPlatformServices();
