// Operating-system services for the portable core: the only door from src/ to the OS.
#pragma once

#include <cstddef>
#include <cstdint>

using GlProc = void (*)();
using ThreadEntry = void (*)(void* argument);

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
    // Reads at most `limit` bytes of the system's General MIDI sound bank into a block from
    // memAlloc (caller frees); null when no bank can be read.
    void* (*readSoundBank)(size_t limit, size_t* size);
};

// The process-wide services, initialised with this system's implementations.
PlatformServices* platformServices();
// Puts every field back to this system's implementation.
void resetPlatformServices();
