// Standard MIDI File to song source: one pattern per MIDI channel in the file's own pulses,
// notes held with '&' so that overlapping notes keep their lengths, rests between starts. The file
// is read in one pass and its events merged by time, so the work grows with the file's size (times
// its logarithm, for the merge), whatever the number of tracks.
#include "songc/music_text.h"
#include "songc/songc.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <deque>
#include <map>

namespace {

struct MidiNote {
    int start, length, note, velocity;
};
struct MidiControl {
    int at, controller, value;
};

// An event the import uses: a channel message of two data bytes, or a tempo.
struct MidiEvent {
    int pulses;
    uint32_t tempo; // microseconds a quarter note for a tempo event, else 0
    uint8_t status, key, value;
};

// The file read front to back; a read past the end sets `short_` and yields zeros.
struct MidiReader {
    const uint8_t* at;
    const uint8_t* end;
    bool short_ = false;

    uint32_t byte() {
        if (at >= end) {
            short_ = true;
            return 0;
        }
        return *at++;
    }
    uint32_t big(int bytes) {
        uint32_t value = 0;
        while (bytes--) value = value << 8 | byte();
        return value;
    }
    // A variable-length quantity: at most four bytes of seven bits.
    bool quantity(uint32_t* value) {
        *value = 0;
        for (int i = 0; i < 4; ++i) {
            const uint32_t b = byte();
            *value = *value << 7 | (b & 0x7F);
            if (!(b & 0x80)) return !short_;
        }
        return false;
    }
};

// The meta events of a fixed size: sequence number, channel prefix, port, end of track, tempo,
// SMPTE offset, time and key signature.
bool metaLengthFits(uint32_t type, uint32_t length) {
    switch (type) {
    case 0x00:
        return length == 0 || length == 2;
    case 0x20:
    case 0x21:
        return length == 1;
    case 0x2F:
        return length == 0;
    case 0x51:
        return length == 3;
    case 0x54:
        return length == 5;
    case 0x58:
        return length == 4;
    case 0x59:
        return length == 2;
    default:
        return true;
    }
}

// Why the events of one track chunk cannot be read, or nullptr when they can; the events the
// import uses are appended to *events. The damage refused is what the format cannot hold and what
// the earlier reader of these files (libsmf) stumbled on, so the same files are taken as before.
const char* readTrack(MidiReader track, std::vector<MidiEvent>* events) {
    uint32_t status = 0; // running status: the last channel message's
    uint64_t pulses = 0;
    while (track.at < track.end) {
        uint32_t delta = 0;
        if (!track.quantity(&delta)) return "an event time is cut or longer than four bytes";
        // The import keeps times in int pulses.
        if ((pulses += delta) > INT_MAX) return "a track is longer than 2^31 pulses";
        uint32_t first = track.byte();
        if (track.short_) return "an event is cut short";
        if (first < 0x80) {
            if (!status) return "a data byte comes without a status byte before it";
            --track.at; // the data byte is read again below
            first = status;
        }
        uint32_t length = 0;
        if (first < 0xF0) {
            status = first;
            length = (first & 0xF0) == 0xC0 || (first & 0xF0) == 0xD0 ? 1 : 2;
            uint32_t data[2] = {};
            for (uint32_t i = 0; i < length; ++i)
                if ((data[i] = track.byte()) >= 0x80) return "a channel message is cut short";
            if (track.short_) return "a channel message is cut short";
            if (length == 2)
                events->push_back({int(pulses), 0, uint8_t(first), uint8_t(data[0]), uint8_t(data[1])});
            continue;
        }
        status = 0; // system and meta events cancel the running status
        const bool meta = first == 0xFF;
        // libsmf stopped the program on an escape (F7) that does not continue a system-exclusive
        // message, so escapes are refused along with the status bytes a file cannot hold.
        if (first == 0xF7) return "an escape (F7) event, which the import does not read";
        if (!meta && first != 0xF0) return "a status byte a file cannot hold";
        const uint32_t type = meta ? track.byte() : 0;
        // libsmf took a meta event's length for one byte and misread a longer quantity.
        if (meta && (length = track.byte()) > 0x7F) return "a meta event's length is not one byte";
        if ((!meta && !track.quantity(&length)) || track.short_ || length > size_t(track.end - track.at))
            return "a meta or system-exclusive event runs past its track";
        // libsmf read the fixed fields of these without checking their lengths.
        if (meta && !metaLengthFits(type, length)) return "a meta event of the wrong length";
        if (meta && type == 0x51) {
            const uint32_t tempo = uint32_t(track.at[0]) << 16 | uint32_t(track.at[1]) << 8 | track.at[2];
            if (!tempo) return "a tempo of 0";
            events->push_back({int(pulses), tempo, 0xFF, 0, 0});
        }
        track.at += length;
        if (meta && type == 0x2F) {
            if (length != 0 || track.at != track.end)
                return "the end-of-track event is not the track's last, empty event";
            return nullptr;
        }
    }
    return "a track does not end with an end-of-track event";
}

// Why these bytes are no Standard MIDI File the import takes, or nullptr; the events of every
// track go to *events, track after track, and the header's pulses per quarter note to *division.
const char* readMidiFile(const uint8_t* bytes, size_t size, std::vector<MidiEvent>* events, int* division) {
    MidiReader file{bytes, bytes + size};
    if (file.big(4) != 0x4D546864 || file.big(4) != 6) return "no MThd header of six bytes";
    const uint32_t format = file.big(2), tracks = file.big(2), pulses = file.big(2);
    if (file.short_) return "no MThd header of six bytes";
    *division = int(pulses);
    if (format > 1 || pulses == 0 || pulses & 0x8000)
        return "only format 0 and 1 files with pulses per quarter note are imported";
    if (tracks == 0 || (format == 0 && tracks != 1))
        return "the header's track count does not fit its format";
    uint32_t found = 0;
    while (file.at < file.end) {
        const uint32_t type = file.big(4), length = file.big(4);
        if (file.short_ || length > size_t(file.end - file.at))
            return "a chunk runs past the end of the file";
        // libsmf lost the tracks after a chunk of another type instead of skipping it.
        if (type != 0x4D54726B) return "a chunk other than a track (MTrk) after the header";
        if (const char* damage = readTrack({file.at, file.at + length}, events)) return damage;
        ++found;
        file.at += length;
    }
    if (found != tracks) return "the header's track count differs from the tracks in the file";
    return nullptr;
}

} // namespace

bool importMidi(const std::string& path, std::string* text, std::string* warnings, std::string* error) {
    std::string bytes;
    return readFile(path, &bytes, error) && importMidiBytes(bytes, path, text, warnings, error);
}

bool importMidiBytes(const std::string& bytes, const std::string& path, std::string* text,
                     std::string* warnings, std::string* error) {
    if (bytes.size() > INT_MAX) {
        *error = path + ": larger than 2 GiB";
        return false;
    }
    std::vector<MidiEvent> events;
    int division = 0;
    const auto* raw = reinterpret_cast<const uint8_t*>(bytes.data());
    if (const char* damage = readMidiFile(raw, bytes.size(), &events, &division)) {
        *error = path + ": not a Standard MIDI File that can be imported: " + damage;
        return false;
    }
    // In time order; events at one pulse in the order of their tracks, then as the track has them.
    std::stable_sort(events.begin(), events.end(),
                     [](const MidiEvent& a, const MidiEvent& b) { return a.pulses < b.pulses; });
    std::map<int, std::vector<MidiNote>> notes;
    std::map<int, std::vector<MidiControl>> controls;
    std::map<std::pair<int, int>, std::deque<std::pair<int, int>>>
        sounding; // (channel, note) -> (start, velocity)
    double tempo = 120.0;
    bool tempoSet = false;
    int changes = 0;
    std::string firstChange;
    for (const MidiEvent& event : events) {
        const int at = event.pulses;
        if (event.tempo) {
            const double bpm = 60000000.0 / event.tempo;
            if (!tempoSet) {
                tempo = bpm;
                tempoSet = true;
            } else if (std::fabs(bpm - tempo) > 1e-6 && changes++ == 0) {
                firstChange =
                    "the tempo changes to " + std::to_string(bpm) + " bpm at pulse " + std::to_string(at);
            }
            continue;
        }
        const int status = event.status & 0xF0, channel = event.status & 0x0F;
        const int key = event.key, value = event.value;
        if (status == 0x90 && value > 0) {
            sounding[{channel, key}].push_back({at, value});
        } else if (status == 0x80 || status == 0x90) {
            auto& open = sounding[{channel, key}];
            if (open.empty()) continue;
            const auto [start, velocity] = open.front();
            open.pop_front();
            notes[channel].push_back({start, std::max(1, at - start), key, velocity});
        } else if (status == 0xB0) {
            controls[channel].push_back({at, key, value});
        }
    }
    if (changes)
        *warnings += path + ": " + firstChange +
                     (changes > 1 ? " (and " + std::to_string(changes - 1) +
                                        (changes > 2 ? " more changes)" : " more change)")
                                  : "") +
                     "; the song keeps " + std::to_string(tempo) + " bpm throughout\n";
    for (auto& [where, open] : sounding)
        if (!open.empty())
            *warnings += path + ": " + std::to_string(open.size()) + " note(s) " + noteName(where.second) +
                         " on channel " + std::to_string(where.first) + " never end; dropped\n";
    std::string& out = *text;
    out = "# Imported from " + path + ".\n";
    char tempoText[32];
    std::snprintf(tempoText, sizeof tempoText, "%.6g", tempo);
    std::string tempoString = tempoText;
    if (tempoString.find('.') == std::string::npos) tempoString += ".0";
    out += "tempo = " + tempoString + "\nticks_per_beat = " + std::to_string(division) + "\n\n[channels]\n";
    std::vector<int> used;
    for (int c = 0; c < 16; ++c)
        if (notes.count(c) || controls.count(c)) used.push_back(c);
    for (int c : used) out += "midi" + std::to_string(c + 1) + " = " + std::to_string(c) + "\n";
    out += "\n[patterns]\n";
    for (int c : used) {
        auto& list = notes[c];
        std::stable_sort(list.begin(), list.end(),
                         [](const MidiNote& a, const MidiNote& b) { return a.start < b.start; });
        const auto& ccs = controls[c];
        std::string tokens;
        int now = 0, count = 0;
        size_t n = 0, k = 0;
        auto advance = [&](int to) {
            if (to > now) tokens += "r:" + std::to_string(to - now) + " ";
            now = std::max(now, to);
        };
        auto wrap = [&] {
            if (++count % 8 == 0) tokens += "\n";
        };
        while (n < list.size() || k < ccs.size()) {
            if (k < ccs.size() && (n >= list.size() || ccs[k].at <= list[n].start)) {
                advance(ccs[k].at);
                tokens += "cc" + std::to_string(ccs[k].controller) + "=" + std::to_string(ccs[k].value) + " ";
                ++k;
            } else {
                const MidiNote& note = list[n++];
                advance(note.start);
                tokens += noteName(note.note) + ":" + std::to_string(note.length) + "@" +
                          std::to_string(note.velocity) + "& ";
            }
            wrap();
        }
        while (!tokens.empty() && (tokens.back() == ' ' || tokens.back() == '\n')) tokens.pop_back();
        out += "midi" + std::to_string(c + 1) + " = \"\"\"\n" + tokens + "\n\"\"\"\n";
    }
    for (int c : used)
        out += "\n[[arrangement]]\nat = \"1:1:0\"\nchannel = \"midi" + std::to_string(c + 1) +
               "\"\nplay = \"midi" + std::to_string(c + 1) + "\"\n";
    // What the compiler would refuse (more notes on a channel than a stream holds, a time past the
    // song's end) is refused here, not left for the next build to find.
    std::vector<uint8_t> song;
    std::string refused;
    if (!compileSong(out, "imported", nullptr, &song, &refused)) {
        *error = path + ": the song source made from it does not compile: " + refused;
        out.clear();
        return false;
    }
    return true;
}
