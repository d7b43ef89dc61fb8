#include "studio/studio_options.h"

#include "studio/sync_link.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>

const char kStudioUsage[] =
    "usage: quorlax-studio [--tick T] [--paused] [--size WxH] [--scale S] [--sources DIR]\n"
    "                      [--loop FROM:TO] [--print-state] [--sync [HOST:]PORT]\n"
    "\n"
    "Plays the show in a window as an authoring tool: it can be paused, scrubbed and looped, and\n"
    "reloads the shaders, the music and the tracks from the source tree when they are saved.\n"
    "\n"
    "  --tick T        start at presentation time T (clock ticks, 8 a beat; default 0)\n"
    "  --paused        start paused\n"
    "  --size WxH      the window's size (default 1280x720; it can be resized)\n"
    "  --scale S       draw the picture at window size x S, 0 < S <= 1 (default 1), scaled up to\n"
    "                  the window; 0.25 makes a machine without a GPU usable\n"
    "  --sources DIR   the source tree to reload from (default: the tree the program was built\n"
    "                  from, when it exists); its src/shaders, src/music and src/tracks are watched\n"
    "  --loop FROM:TO  loop the ticks FROM to TO\n"
    "  --print-state   write one line to stdout per change of state\n"
    "  --sync [HOST:]PORT  link to a GNU Rocket sync editor listening there (host 127.0.0.1 unless\n"
    "                  given, e.g. --sync 1338): the editor's keys, cursor and pause drive the show,\n"
    "                  its save writes src/tracks/show.rocket of the source tree; tried again every\n"
    "                  2 s while no editor answers (see docs/sync-editors.md)\n"
    "\n"
    "Keys: Space play/pause; Left/Right one beat (8 ticks), with Shift one bar (32 ticks);\n"
    "PageUp/PageDown previous/next scene start; Home the start; 1-8 the start of scene N; L loops\n"
    "the current scene (again: loop off); [ and ] set the loop's ends at the playhead; H the\n"
    "overlay; F5 reloads everything; Escape or closing the window quits. Clicking or dragging on\n"
    "the timeline seeks.\n"
    "\n"
    "Exit status: 0, or 2 for bad arguments.";

namespace {

bool parseFloat(const char* text, float* value) {
    const char* end = text + std::strlen(text);
    auto [at, status] = std::from_chars(text, end, *value);
    return at == end && at != text && status == std::errc() && std::isfinite(*value);
}

bool parseInt(const char* begin, const char* end, int* value) {
    auto [at, status] = std::from_chars(begin, end, *value);
    return at == end && at != begin && status == std::errc();
}

bool isFolder(const std::string& path) {
    std::error_code failure;
    return !path.empty() && std::filesystem::is_directory(path, failure);
}

} // namespace

StudioOptionsResult parseStudioOptions(int argc, const char* const* argv, const std::string& defaultSources,
                                       StudioOptions* options, std::string* error) {
    *options = StudioOptions{};
    bool sourcesGiven = false;
    for (int i = 0; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") return StudioHelp;
        if (name == "--paused") {
            options->paused = true;
            continue;
        }
        if (name == "--print-state") {
            options->printState = true;
            continue;
        }
        const bool takesValue = name == "--tick" || name == "--size" || name == "--scale" ||
                                name == "--sources" || name == "--loop" || name == "--sync";
        if (!takesValue) {
            *error = "unknown argument '" + name + "' (--help lists them)";
            return StudioBadArguments;
        }
        if (i + 1 >= argc) {
            *error = name + " needs a value";
            return StudioBadArguments;
        }
        const char* value = argv[++i];
        if (name == "--tick") {
            if (!parseFloat(value, &options->tick) || options->tick < 0.0f) {
                *error = "--tick needs a time of 0 or more in clock ticks, not '" + std::string(value) + "'";
                return StudioBadArguments;
            }
        } else if (name == "--size") {
            const char* cross = std::strchr(value, 'x');
            if (!cross || !parseInt(value, cross, &options->width) ||
                !parseInt(cross + 1, value + std::strlen(value), &options->height) || options->width < 16 ||
                options->height < 16 || options->width > 16384 || options->height > 16384) {
                *error = "--size needs WxH with each side 16 to 16384, not '" + std::string(value) + "'";
                return StudioBadArguments;
            }
        } else if (name == "--scale") {
            if (!parseFloat(value, &options->scale) || !(options->scale > 0.0f) || options->scale > 1.0f) {
                *error = "--scale needs a number above 0 and at most 1, not '" + std::string(value) + "'";
                return StudioBadArguments;
            }
        } else if (name == "--sync") {
            if (!parseSyncAddress(value, &options->syncHost, &options->syncPort)) {
                *error =
                    "--sync needs [HOST:]PORT with a port of 1 to 65535, not '" + std::string(value) + "'";
                return StudioBadArguments;
            }
            options->sync = true;
        } else if (name == "--sources") {
            if (!isFolder(value)) {
                *error = "--sources: '" + std::string(value) + "' is not a folder";
                return StudioBadArguments;
            }
            options->sources = value;
            sourcesGiven = true;
        } else {
            const char* colon = std::strchr(value, ':');
            const std::string from = colon ? std::string(value, colon) : std::string();
            if (!colon || !parseFloat(from.c_str(), &options->loopFrom) ||
                !parseFloat(colon + 1, &options->loopTo) || options->loopFrom < 0.0f ||
                !(options->loopTo > options->loopFrom)) {
                *error = "--loop needs FROM:TO in clock ticks with 0 <= FROM < TO, not '" +
                         std::string(value) + "'";
                return StudioBadArguments;
            }
            options->loop = true;
        }
    }
    if (!sourcesGiven && isFolder(defaultSources)) options->sources = defaultSources;
    return StudioRun;
}
