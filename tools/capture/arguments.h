// Reading the capture commands' arguments: numbers, sizes and the one-line usage errors.
#pragma once

#include <cstdint>

constexpr int kMaximumSide = 8192;

// A finite decimal number, the whole text.
bool parseNumber(const char* text, double* value);
// A whole number from 0 to 1,000,000, the whole text.
bool parseCount(const char* text, int* value);
// "WxH" with both sides from 1 to kMaximumSide.
bool parseSize(const char* text, int* width, int* height);

// Prints "quorlax-capture COMMAND: MESSAGE[: 'VALUE']" and the hint to --help on stderr; returns
// the exit code for bad arguments.
int argumentError(const char* command, const char* message, const char* value = nullptr);
// Prints "quorlax-capture COMMAND: cannot write 'PATH': REASON" on stderr.
void reportUnwritable(const char* command, const char* path, const char* reason);

// The song's length in presentation ticks: the end of the show.
double showLengthTicks();
// Prints "quorlax-capture COMMAND: NAME T is past the end of the show (tick L)"; returns the
// exit code for bad arguments.
int pastTheEnd(const char* command, const char* name, double tick);
