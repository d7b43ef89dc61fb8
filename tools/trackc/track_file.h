// The track compiler: reads the choreography's source, a track file in the XML that the GNU Rocket
// sync editors write (see docs/tracks-format.md), checks it against the show's tracks, and writes
// it back as a track file or as the C++ source of the built-in tracks.
//
// Every function that can fail returns false and leaves one line "file:line: message" (or
// "file: message") in *error; none of them throws or aborts on bad input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Track files are read whole, through the tools' bounded reader; the show's own is about 30 KB.
constexpr size_t kTrackFileLimit = 4u << 20;

// One track's keys as the parallel arrays registerTrack and setTrackKeys take.
struct TrackKeys {
    std::string name;
    int32_t line = 0; // of its <track> element; 0 when it did not come from a file
    std::vector<int32_t> times;
    std::vector<float> values;
    std::vector<int8_t> modes;
};

struct TrackDocument {
    int32_t rows = 0; // the editor's row count; 0 when the file gives none
    std::vector<int32_t> bookmarks;
    int32_t tracksLine = 0;         // of the <tracks> element
    std::vector<TrackKeys> tracks; // in the order of the file, each name once
};

// Parses a track file of either editor's dialect and checks every track: a name of the show, rows
// strictly increasing from 0 to 2^31-1, values finite float32, interpolations 0 to 3. A row is a
// clock tick, kClockTicksPerBeat a beat; a file that states another grid (rowsPerBeat) or another
// tempo than `beatsPerMinute` (beatsPerMin) was made for another show and would be misread.
bool readTrackDocument(const std::string& text, const std::string& path, float beatsPerMinute,
                       TrackDocument* document, std::string* error);
// Reads and parses the file at `path` (a regular file of at most kTrackFileLimit bytes).
bool readTrackFile(const std::string& path, float beatsPerMinute, TrackDocument* document, std::string* error);
// True when the document has every track of the show (what the build needs).
bool checkAllShowTracks(const TrackDocument& document, const std::string& path, std::string* error);

// The document as a track file in the Qt editor's dialect, tracks in the show's registration
// order, every value written so that it reads back as the same float32.
std::string writeTrackDocument(const TrackDocument& document);
// The C++ source of the built-in tracks (builtinTrack, kBuiltinTrackDocument); needs every track.
std::string trackCppSource(const TrackDocument& document);

// The value text that reads back as exactly `value`: the shortest plain decimal, or the shortest
// with an exponent where the plain one would be long.
std::string trackValueText(float value);
