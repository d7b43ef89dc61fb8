// The studio's window: resizable, with the show's GL context, and its keys, pointer and size
// changes as portable events.
#pragma once

#include <cstdint>

// Keys the studio acts on: printable ones by their character (' ', '1' to '8', 'h', 'l', '[', ']'),
// the others by these codes. Anything else is reported as StudioKeyOther.
enum StudioKey : int32_t {
    StudioKeyOther = 0,
    StudioKeyEscape = 0x100,
    StudioKeyLeft,
    StudioKeyRight,
    StudioKeyPageUp,
    StudioKeyPageDown,
    StudioKeyHome,
    StudioKeyF5,
};

enum StudioEventType : int32_t {
    StudioEventKey = 0,     // key, shift
    StudioEventPress = 1,   // the left button went down at x, y (window pixels, top row 0)
    StudioEventDrag = 2,    // the pointer moved to x, y with the left button held
    StudioEventRelease = 3, // the left button came up
    StudioEventResize = 4,  // the drawable size changed (studioDrawableSize gives it)
    StudioEventQuit = 5,    // the window was closed
};

struct StudioEvent {
    int32_t type;
    int32_t key;
    int32_t shift; // non-zero while a Shift key is held
    int32_t x, y;
};

// The services as one record, so tests can replace single entries. Every field is always set.
struct StudioWindowServices {
    // Opens the window, `width` x `height` and resizable, with a current GL 4.5 compatibility
    // context made as the show's is; 1 on success, 0 (with nothing left open) otherwise.
    int (*openStudioWindow)(const char* title, int32_t width, int32_t height);
    void (*closeStudioWindow)();
    // Takes the next pending event without waiting; 0 when there is none.
    int (*nextStudioEvent)(StudioEvent* event);
    // The drawable's size in pixels.
    void (*studioDrawableSize)(int32_t* width, int32_t* height);
    void (*swapStudioWindow)();
};

StudioWindowServices* studioWindowServices();
