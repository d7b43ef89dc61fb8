// trackc: checks a track file, writes it back as the project's track file or as the C++ source
// of the built-in tracks, and prints the built-in tracks.
#include "trackc/track_file.h"

#include "framework/track_data.h"
#include "shared/output_file.h"
#include "synth/song_clock.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kUsage[] =
    "usage: trackc FILE.rocket [--cpp OUT.cpp] [-o OUT.rocket]\n"
    "       trackc --dump\n"
    "\n"
    "Reads a track file as the GNU Rocket sync editors save it (the Qt editor's <sync> or the\n"
    "OpenGL editor's <rootElement>; see docs/tracks-format.md) and checks it against the show's\n"
    "fifteen tracks: known names, rows strictly increasing from 0 to 2147483647 (a row is a clock\n"
    "tick), finite float32 values, interpolations 0 to 3, and the show's grid and tempo (8 rows a\n"
    "beat, the song's beats a minute) where the file states them.\n"
    "  --cpp OUT.cpp   write the C++ source of the built-in tracks (needs all fifteen tracks)\n"
    "  -o OUT.rocket   write the tracks back in the Qt editor's dialect, in the show's order\n"
    "  --dump          print the built-in tracks as a track file\n"
    "\n"
    "Errors are printed as 'file:line: message'. Exit codes: 0 done, 1 bad input or a failed\n"
    "write, 2 bad arguments.\n";

int fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
}

// The whole text to `path`, replacing it only once everything is written; "" or the cause.
std::string writeWhole(const std::string& path, const std::string& text) {
    return writeOutputFile(path.c_str(), text.data(), text.size());
}

#if defined(QUORLAX_TRACKC_BUILTIN)
TrackDocument builtinDocument() {
    TrackDocument document;
    document.rows = kBuiltinTrackDocument.rows;
    document.bookmarks.assign(kBuiltinTrackDocument.bookmarks,
                              kBuiltinTrackDocument.bookmarks + kBuiltinTrackDocument.bookmarkCount);
    for (int32_t i = 0; i < kShowTrackCount; ++i) {
        const TrackSource& source = builtinTrack(i);
        TrackKeys track;
        track.name = source.name;
        track.times.assign(source.times, source.times + source.count);
        track.values.assign(source.values, source.values + source.count);
        track.modes.assign(source.modes, source.modes + source.count);
        document.tracks.push_back(std::move(track));
    }
    return document;
}
#endif

int usageError(const std::string& message) {
    std::fprintf(stderr, "trackc: %s (try 'trackc --help')\n", message.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    watchInterruptions("trackc");
    std::string input, cppOut, trackOut;
    bool dump = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        std::string* target = argument == "--cpp" ? &cppOut : argument == "-o" ? &trackOut : nullptr;
        if (target) {
            if (i + 1 >= argc) return usageError("missing value after '" + argument + "'");
            *target = argv[++i];
        } else if (argument == "--dump") {
            dump = true;
        } else if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return usageError("unknown option '" + argument + "'");
        } else if (!input.empty()) {
            return usageError("more than one track file");
        } else {
            input = argument;
        }
    }
    if (dump) {
        if (!input.empty() || !cppOut.empty() || !trackOut.empty()) return usageError("--dump takes nothing else");
#if defined(QUORLAX_TRACKC_BUILTIN)
        std::fputs(writeTrackDocument(builtinDocument()).c_str(), stdout);
        return 0;
#else
        return fail("trackc: this build of trackc carries no built-in tracks");
#endif
    }
    if (input.empty()) return usageError("no track file");
    TrackDocument document;
    std::string error;
    if (!readTrackFile(input, builtinSongClock().beatsPerMinute, &document, &error)) return fail(error);
    if (!cppOut.empty()) {
        if (!checkAllShowTracks(document, input, &error)) return fail(error);
        error = writeWhole(cppOut, trackCppSource(document));
        if (!error.empty()) return fail(cppOut + ": cannot be written: " + error);
    }
    if (!trackOut.empty()) {
        error = writeWhole(trackOut, writeTrackDocument(document));
        if (!error.empty()) return fail(trackOut + ": cannot be written: " + error);
    }
    return 0;
}
