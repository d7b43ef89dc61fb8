// Standard MIDI File to song source: one pattern per MIDI channel in the file's own pulses,
// notes held with '&' so that overlapping notes keep their lengths, rests between starts.
#include "songc/music_text.h"
#include "songc/songc.h"

#include <smf.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <deque>
#include <map>
#include <memory>

namespace {

struct MidiNote {
    int start, length, note, velocity;
};
struct MidiControl {
    int at, controller, value;
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

// Why the events of one track chunk cannot be read, or nullptr when they can.
const char* trackDamage(MidiReader track) {
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
            for (uint32_t i = 0; i < length; ++i)
                if (track.byte() >= 0x80) return "a channel message is cut short";
            if (track.short_) return "a channel message is cut short";
            continue;
        }
        status = 0; // system and meta events cancel the running status
        const bool meta = first == 0xFF;
        // libsmf stops the program on an escape (F7) that does not continue a system-exclusive
        // message, so escapes are refused along with the status bytes a file cannot hold.
        if (first == 0xF7) return "an escape (F7) event, which the import does not read";
        if (!meta && first != 0xF0) return "a status byte a file cannot hold";
        const uint32_t type = meta ? track.byte() : 0;
        // libsmf takes a meta event's length for one byte and misreads a longer quantity.
        if (meta && (length = track.byte()) > 0x7F) return "a meta event's length is not one byte";
        if ((!meta && !track.quantity(&length)) || track.short_ || length > size_t(track.end - track.at))
            return "a meta or system-exclusive event runs past its track";
        // libsmf reads the fixed fields of these without checking their lengths.
        if (meta && !metaLengthFits(type, length)) return "a meta event of the wrong length";
        if (meta && type == 0x51 && !(track.at[0] | track.at[1] | track.at[2])) return "a tempo of 0";
        track.at += length;
        if (meta && type == 0x2F) {
            if (length != 0 || track.at != track.end)
                return "the end-of-track event is not the track's last, empty event";
            return nullptr;
        }
    }
    return "a track does not end with an end-of-track event";
}

// Why libsmf must not be given these bytes, or nullptr. libsmf leaks its record of a file it
// cannot parse, stops the program on some damage and quietly cuts tracks short on other, so
// every damage it would meet is found here first.
const char* midiDamage(const uint8_t* bytes, size_t size) {
    MidiReader file{bytes, bytes + size};
    if (file.big(4) != 0x4D546864 || file.big(4) != 6) return "no MThd header of six bytes";
    const uint32_t format = file.big(2), tracks = file.big(2), division = file.big(2);
    if (file.short_) return "no MThd header of six bytes";
    if (format > 1 || division == 0 || division & 0x8000)
        return "only format 0 and 1 files with pulses per quarter note are imported";
    if (tracks == 0 || (format == 0 && tracks != 1))
        return "the header's track count does not fit its format";
    uint32_t found = 0;
    while (file.at < file.end) {
        const uint32_t type = file.big(4), length = file.big(4);
        if (file.short_ || length > size_t(file.end - file.at))
            return "a chunk runs past the end of the file";
        // libsmf loses the tracks after a chunk of another type instead of skipping it.
        if (type != 0x4D54726B) return "a chunk other than a track (MTrk) after the header";
        if (const char* damage = trackDamage({file.at, file.at + length})) return damage;
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
    const auto* raw = reinterpret_cast<const uint8_t*>(bytes.data());
    if (const char* damage = midiDamage(raw, bytes.size())) {
        *error = path + ": not a Standard MIDI File that can be imported: " + damage;
        return false;
    }
    std::unique_ptr<smf_t, void (*)(smf_t*)> smf(smf_load_from_memory(raw, int(bytes.size())), smf_delete);
    if (!smf) {
        *error = path + ": not a Standard MIDI File that can be read";
        return false;
    }
    // A track libsmf could not read would vanish from the song without a word.
    if (const int tracks = raw[10] << 8 | raw[11]; smf->number_of_tracks != tracks) {
        *error = path + ": libsmf read " + std::to_string(smf->number_of_tracks) + " of the " +
                 std::to_string(tracks) + " tracks";
        return false;
    }
    std::map<int, std::vector<MidiNote>> notes;
    std::map<int, std::vector<MidiControl>> controls;
    std::map<std::pair<int, int>, std::deque<std::pair<int, int>>>
        sounding; // (channel, note) -> (start, velocity)
    double tempo = 120.0;
    bool tempoSet = false;
    smf_rewind(smf.get());
    while (smf_event_t* event = smf_get_next_event(smf.get())) {
        const unsigned char* data = event->midi_buffer;
        if (event->midi_buffer_length < 1) continue;
        if (smf_event_is_metadata(event)) {
            if (event->midi_buffer_length >= 6 && data[1] == 0x51) {
                const int micros = data[3] << 16 | data[4] << 8 | data[5];
                const double bpm = micros > 0 ? 60000000.0 / micros : 120.0;
                if (!tempoSet) {
                    tempo = bpm;
                    tempoSet = true;
                } else if (std::fabs(bpm - tempo) > 1e-6) {
                    *warnings += path + ": the tempo changes to " + std::to_string(bpm) + " bpm at pulse " +
                                 std::to_string(event->time_pulses) + "; the song keeps " +
                                 std::to_string(tempo) + " bpm throughout\n";
                }
            }
            continue;
        }
        const int status = data[0] & 0xF0, channel = data[0] & 0x0F;
        if (event->midi_buffer_length < 3) continue;
        const int key = data[1] & 0x7F, value = data[2] & 0x7F;
        const int at = event->time_pulses;
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
    out += "tempo = " + tempoString + "\nticks_per_beat = " + std::to_string(smf->ppqn) + "\n\n[channels]\n";
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
    return true;
}
