#include "capture/arguments.h"

#include "capture/commands.h"
#include "synth/builtin_song.h"
#include "synth/song.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

bool parseNumber(const char* text, double* value) {
    char* end = nullptr;
    const double parsed = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

bool parseCount(const char* text, int* value) {
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (*end != '\0' || parsed > 1000000) return false;
    *value = static_cast<int>(parsed);
    return true;
}

bool parseSize(const char* text, int* width, int* height) {
    const char* cross = std::strchr(text, 'x');
    if (!cross) return false;
    const std::string widthText(text, cross);
    int w = 0, h = 0;
    if (!parseCount(widthText.c_str(), &w) || !parseCount(cross + 1, &h)) return false;
    if (w < 1 || h < 1 || w > kMaximumSide || h > kMaximumSide) return false;
    *width = w;
    *height = h;
    return true;
}

int argumentError(const char* command, const char* message, const char* value) {
    if (value)
        std::fprintf(stderr, "quorlax-capture %s: %s: '%s'\n", command, message, value);
    else
        std::fprintf(stderr, "quorlax-capture %s: %s\n", command, message);
    std::fprintf(stderr, "try 'quorlax-capture %s --help'\n", command);
    return kExitUsage;
}

void reportUnwritable(const char* command, const char* path, const char* reason) {
    std::fprintf(stderr, "quorlax-capture %s: cannot write '%s': %s\n", command, path, reason);
}

double showLengthTicks() {
    size_t bytes = 0;
    const uint8_t* song = builtinSongBytes(&bytes);
    SongHeader header{};
    if (bytes >= sizeof header) std::memcpy(&header, song, sizeof header);
    // 44,100 frames a second over 16 2/3 ticks a second: 2,646 frames a tick.
    return header.lengthSamples > 0 ? header.lengthSamples / 2646.0 : 0.0;
}

int pastTheEnd(const char* command, const char* name, double tick) {
    std::fprintf(stderr, "quorlax-capture %s: %s %.3f is past the end of the show (tick %.2f)\n", command,
                 name, tick, showLengthTicks());
    return kExitUsage;
}
