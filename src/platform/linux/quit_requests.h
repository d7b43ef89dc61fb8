// Quit requests from outside the program on Linux (SIGINT, SIGTERM, SIGHUP): the platform
// services' entries, and the descriptor an event loop waits on, for the display layer's dialog.
#pragma once

#include <cstdint>

void linuxCatchQuitRequests();
int32_t linuxQuitRequested();
// Sleeps, but not once a quit request has come (one arriving meanwhile ends the sleep).
void linuxSleepMs(uint32_t milliseconds);

// Readable from the first quit request on (it is never drained); -1 before catchQuitRequests.
int quitRequestDescriptor();
