// Standard MIDI File to song source: one pattern per MIDI channel in the file's own pulses,
// notes held with '&' so that overlapping notes keep their lengths, rests between starts.
#include "songc/music_text.h"
#include "songc/songc.h"

#include <smf.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace {

struct MidiNote {
    int start, length, note, velocity;
};
struct MidiControl {
    int at, controller, value;
};

} // namespace

bool importMidi(const std::string& path, std::string* text, std::string* warnings, std::string* error) {
    std::unique_ptr<smf_t, void (*)(smf_t*)> smf(smf_load(path.c_str()), smf_delete);
    if (!smf) {
        *error = path + ": not a Standard MIDI File that can be read";
        return false;
    }
    if (smf->format > 1 || smf->ppqn <= 0) {
        *error = path + ": only format 0 and 1 files with pulses per quarter note are imported";
        return false;
    }
    std::map<int, std::vector<MidiNote>> notes;
    std::map<int, std::vector<MidiControl>> controls;
    std::map<std::pair<int, int>, std::vector<std::pair<int, int>>>
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
            open.erase(open.begin());
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
