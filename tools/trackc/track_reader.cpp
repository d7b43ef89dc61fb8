// Reading track files: the XML is parsed by tinyxml2 (it numbers the lines of elements and of its
// own errors, refuses nesting deeper than 100 elements, and has no exceptions); what the elements
// mean is checked here.
#include "trackc/track_file.h"

#include "framework/track_data.h"
#include "shared/input_file.h"
#include "synth/song_clock.h"

#include <tinyxml2.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

using tinyxml2::XMLElement;

constexpr int64_t kLastRow = 2147483647;

struct Reader {
    const std::string& path;
    std::string* error;

    bool fail(int line, const std::string& message) {
        *error = path + ":" + std::to_string(line > 0 ? line : 1) + ": " + message;
        return false;
    }
};

std::string quoted(const char* text) {
    return "'" + std::string(text) + "'";
}

// A whole decimal number, optionally negative; false when the text is not one. Values beyond the
// int64 range come back as that range's ends, which every caller refuses as out of range.
bool parseWhole(const char* text, int64_t* value) {
    const char* digits = text[0] == '-' ? text + 1 : text;
    if (*digits < '0' || *digits > '9') return false;
    int64_t magnitude = 0;
    for (const char* c = digits; *c; ++c) {
        if (*c < '0' || *c > '9') return false;
        magnitude = magnitude > INT64_MAX / 10 ? INT64_MAX : magnitude * 10 + (*c - '0');
    }
    *value = text[0] == '-' ? -magnitude : magnitude;
    return true;
}

// A float32 written in decimal, the whole text. Out of range below the smallest float reads as the
// nearest float (0 or a subnormal); above the largest, or "inf" and "nan", it is refused.
bool parseValue(const char* text, float* value) {
    const char* end = text + std::strlen(text);
    float parsed = 0.0f;
    auto [at, status] = std::from_chars(text, end, parsed);
    if (at != end || at == text) return false;
    if (status == std::errc::result_out_of_range) {
        double wide = 0.0;
        auto [wideAt, wideStatus] = std::from_chars(text, end, wide);
        if (wideAt != end || wideStatus != std::errc() || std::fabs(wide) > 1.0) return false;
        parsed = static_cast<float>(wide);
    } else if (status != std::errc()) {
        return false;
    }
    if (!std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

// A row attribute: required, whole, 0 to 2^31-1.
bool readRow(Reader& reader, const XMLElement* element, const char* what, int32_t* row) {
    const char* text = element->Attribute("row");
    if (!text) return reader.fail(element->GetLineNum(), std::string("a <") + what + "> without a row");
    int64_t value = 0;
    if (!parseWhole(text, &value)) return reader.fail(element->GetLineNum(), "row " + quoted(text) + " is not a whole number");
    if (value < 0 || value > kLastRow)
        return reader.fail(element->GetLineNum(), "row " + std::string(text) + " is outside 0 to 2147483647");
    *row = static_cast<int32_t>(value);
    return true;
}

// rows="N" on the root (Qt editor) or on <tracks> (OpenGL editor).
bool readRowCount(Reader& reader, const XMLElement* element, TrackDocument* document) {
    const char* text = element->Attribute("rows");
    if (!text) return true;
    int64_t value = 0;
    if (!parseWhole(text, &value) || value < 1 || value > kLastRow)
        return reader.fail(element->GetLineNum(), "rows " + quoted(text) + " is not a count from 1 to 2147483647");
    document->rows = static_cast<int32_t>(value);
    return true;
}

// The OpenGL editor states its grid; a file made for another one would put every key elsewhere.
bool checkGrid(Reader& reader, const XMLElement* tracks, float beatsPerMinute) {
    struct GridAttribute {
        const char* name;
        int32_t expected;
        const char* meaning;
    };
    const GridAttribute kGrid[] = {
        {"rowsPerBeat", kClockTicksPerBeat, "rows a beat"},
        {"beatsPerMin", static_cast<int32_t>(beatsPerMinute), "beats a minute"},
    };
    for (const GridAttribute& grid : kGrid) {
        const char* text = tracks->Attribute(grid.name);
        int64_t value = 0;
        if (text && (!parseWhole(text, &value) || value != grid.expected))
            return reader.fail(tracks->GetLineNum(), std::string(grid.name) + " is " + quoted(text) + ", but the show has " +
                                                         std::to_string(grid.expected) + " " + grid.meaning);
    }
    return true;
}

bool readKey(Reader& reader, const XMLElement* key, TrackKeys* track) {
    const int line = key->GetLineNum();
    int32_t row = 0;
    if (!readRow(reader, key, "key", &row)) return false;
    if (!track->times.empty() && row <= track->times.back()) {
        if (row == track->times.back())
            return reader.fail(line, "row " + std::to_string(row) + " has a key already in track '" + track->name + "'");
        return reader.fail(line, "row " + std::to_string(row) + " comes after row " + std::to_string(track->times.back()) +
                                     " in track '" + track->name + "' (rows must increase)");
    }
    const char* valueText = key->Attribute("value");
    if (!valueText) return reader.fail(line, "a <key> without a value");
    float value = 0.0f;
    if (!parseValue(valueText, &value)) return reader.fail(line, "value " + quoted(valueText) + " is not a finite float32");
    const char* modeText = key->Attribute("interpolation");
    if (!modeText) return reader.fail(line, "a <key> without an interpolation");
    int64_t mode = 0;
    if (!parseWhole(modeText, &mode) || mode < 0 || mode > 3)
        return reader.fail(line, "interpolation " + quoted(modeText) +
                                     " is not 0 (step), 1 (linear), 2 (smooth) or 3 (ramp)");
    track->times.push_back(row);
    track->values.push_back(value);
    track->modes.push_back(static_cast<int8_t>(mode));
    return true;
}

std::string showTrackList() {
    std::string list;
    for (const ShowTrack& track : kShowTracks) list += (list.empty() ? "" : ", ") + std::string(track.name);
    return list;
}

bool readTrack(Reader& reader, const XMLElement* element, TrackDocument* document) {
    const int line = element->GetLineNum();
    const char* name = element->Attribute("name");
    if (!name) return reader.fail(line, "a <track> without a name");
    if (showTrackIndex(name) < 0)
        return reader.fail(line, "unknown track " + quoted(name) + " (the show's tracks: " + showTrackList() + ")");
    for (const TrackKeys& other : document->tracks)
        if (other.name == name)
            return reader.fail(line, "track " + quoted(name) + " is given twice (first at line " +
                                         std::to_string(other.line) + ")");
    TrackKeys track;
    track.name = name;
    track.line = line;
    for (const XMLElement* key = element->FirstChildElement("key"); key; key = key->NextSiblingElement("key"))
        if (!readKey(reader, key, &track)) return false;
    document->tracks.push_back(std::move(track));
    return true;
}

bool readBookmarks(Reader& reader, const XMLElement* root, TrackDocument* document) {
    for (const XMLElement* list = root->FirstChildElement("bookmarks"); list;
         list = list->NextSiblingElement("bookmarks"))
        for (const XMLElement* mark = list->FirstChildElement("bookmark"); mark;
             mark = mark->NextSiblingElement("bookmark")) {
            int32_t row = 0;
            if (!readRow(reader, mark, "bookmark", &row)) return false;
            document->bookmarks.push_back(row);
        }
    return true;
}

} // namespace

bool readTrackDocument(const std::string& text, const std::string& path, float beatsPerMinute,
                       TrackDocument* document, std::string* error) {
    Reader reader{path, error};
    *document = TrackDocument{};
    // tinyxml2 reads up to the first NUL byte and would take the rest of the file as absent.
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) {
        const int line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<ptrdiff_t>(nul), '\n'));
        return reader.fail(line, "a NUL byte (a track file is text)");
    }
    tinyxml2::XMLDocument xml;
    if (xml.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS)
        return reader.fail(xml.ErrorLineNum(), std::string("the XML does not parse (") + xml.ErrorName() + ")");
    const XMLElement* root = xml.RootElement();
    if (!root) return reader.fail(1, "no root element");
    const bool qtDialect = std::strcmp(root->Name(), "sync") == 0;
    if (!qtDialect && std::strcmp(root->Name(), "rootElement") != 0)
        return reader.fail(root->GetLineNum(), std::string("the root element is <") + root->Name() +
                                                   ">, not a sync editor's <sync> or <rootElement>");
    const XMLElement* tracks = root->FirstChildElement("tracks");
    if (!tracks) return reader.fail(root->GetLineNum(), "no <tracks> element");
    document->tracksLine = tracks->GetLineNum();
    if (!readRowCount(reader, qtDialect ? root : tracks, document) || !checkGrid(reader, tracks, beatsPerMinute)) return false;
    for (const XMLElement* track = tracks->FirstChildElement("track"); track;
         track = track->NextSiblingElement("track"))
        if (!readTrack(reader, track, document)) return false;
    return readBookmarks(reader, root, document);
}

bool readTrackFile(const std::string& path, float beatsPerMinute, TrackDocument* document, std::string* error) {
    std::string text;
    if (const std::string problem = readInputFile(path.c_str(), &text, kTrackFileLimit); !problem.empty()) {
        *error = path + ": " + problem;
        return false;
    }
    return readTrackDocument(text, path, beatsPerMinute, document, error);
}

bool checkAllShowTracks(const TrackDocument& document, const std::string& path, std::string* error) {
    for (const ShowTrack& show : kShowTracks) {
        bool found = false;
        for (const TrackKeys& track : document.tracks) found |= track.name == show.name;
        if (!found) {
            Reader reader{path, error};
            return reader.fail(document.tracksLine, std::string("track '") + show.name +
                                                        "' is missing (the show needs all fifteen)");
        }
    }
    return true;
}
