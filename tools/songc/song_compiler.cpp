// The song compiler: patterns in the note notation, placed by the arrangement and the
// automation, become per-channel streams (note-offs, note-ons, then the channel's controllers).
#include "base/audio_format.h"
#include "songc/music_text.h"
#include "songc/song_model.h"
#include "songc/song_notation.h"
#include "songc/songc.h"
#include "songc/toml_support.h"

#include "synth/patch.h"
#include "synth/song.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace {

constexpr uint32_t kLastTick = 0xFFFFFF;
constexpr size_t kMaxStreamEvents = 0xFFFF;
constexpr int kNoteOffQueue = 32, kNoteOnQueue = 48;
// Some 300 times the show's song: the cap ends a runaway repeat within a second.
constexpr size_t kMaxEvents = 1000000;

// One note or controller value at a sequencer tick, before the streams are cut.
struct Placed {
    uint32_t tick;
    int channel, kind, controller, value, velocity, line;
};

// A note at its sequencer ticks, before the rule for notes of one pitch is applied.
struct PlacedNote {
    uint32_t on, off;
    int channel, note, velocity, line;
};

struct SongCompiler {
    std::string path;
    const std::string* text = nullptr;
    std::string* error = nullptr;
    SongBlob song;
    int64_t ticksPerBeat = 48, beatsPerBar = 4;
    std::map<std::string, int> channels;
    std::map<std::string, Pattern> patterns;
    std::vector<Placed> placed; // controller values as placed; notes join them once cut
    std::vector<PlacedNote> notes;

    bool fail(int line, const std::string& message) {
        *error = path + ":" + std::to_string(line) + ": " + message;
        return false;
    }

    // The sequencer tick nearest to a position of `position / scale` pattern ticks; a position
    // exactly between two ticks goes to the later one. In whole numbers, so that no platform's
    // rounding moves a note: the n-th tick holds the positions from n - 1/2 up to n + 1/2.
    int64_t sequencerTick(int64_t position, int64_t scale = 1) const {
        const int64_t milliTempo = std::llround(double(song.tempo) * 1000.0);
        const __int128 numerator = __int128(position) * 60 * kAudioFrameRate * 1000;
        const __int128 denominator = __int128(milliTempo) * ticksPerBeat * song.samplesPerTick * scale;
        return int64_t((2 * numerator + denominator) / (2 * denominator));
    }

    // "bar:beat:tick", bars and beats counted from 1.
    bool parsePosition(const std::string& text, int line, int64_t* position) {
        long long part[3] = {1, 1, 0};
        size_t start = 0;
        int count = 0;
        while (count < 3) {
            const size_t colon = text.find(':', start);
            if (!parseInteger(text.substr(start, colon - start), &part[count++])) break;
            if (colon == std::string::npos) {
                start = std::string::npos;
                break;
            }
            start = colon + 1;
        }
        if (start != std::string::npos || part[0] < 1 || part[1] < 1 || part[1] > beatsPerBar ||
            part[2] < 0 || part[2] >= ticksPerBeat)
            return fail(line, "position '" + text + "' must be bar:beat:tick (bar from 1, beat 1 to " +
                                  std::to_string(beatsPerBar) + ", tick 0 to " +
                                  std::to_string(ticksPerBeat - 1) + ")");
        *position = ((part[0] - 1) * beatsPerBar + part[1] - 1) * ticksPerBeat + part[2];
        return true;
    }

    // Source lines inside a string value, counted forward as its tokens are read: one pass
    // over the string, however many tokens it holds.
    struct LineCounter {
        int line;
        size_t counted;
        const std::string* content;
        int at(size_t offset) {
            for (; counted < offset && counted < content->size(); ++counted)
                line += (*content)[counted] == '\n';
            return line;
        }
    };

    // Multi-line strings start on the line after their opening quotes.
    LineCounter linesOf(const toml::node& value, const std::string& content) {
        const auto begin = value.source().begin;
        int line = int(begin.line);
        size_t offset = 0;
        for (uint32_t l = 1; l < begin.line && offset < text->size(); ++l) {
            const size_t newline = text->find('\n', offset);
            offset = newline == std::string::npos ? text->size() : newline + 1;
        }
        offset += begin.column - 1;
        if (offset + 4 <= text->size() &&
            (text->compare(offset, 3, "\"\"\"") == 0 || text->compare(offset, 3, "\'\'\'") == 0) &&
            ((*text)[offset + 3] == '\n' || (*text)[offset + 3] == '\r'))
            ++line;
        return {line, 0, &content};
    }

    // A pattern is its notes, or a table of notes and the articulation they are played with.
    bool parsePattern(const std::string& name, const toml::node& value) {
        const toml::node* notesNode = &value;
        Pattern pattern;
        if (const auto* table = value.as_table()) {
            notesNode = table->get("notes");
            for (auto&& [key, item] : *table) {
                if (key.str() == "notes") continue;
                if (key.str() != "articulation")
                    return fail(sourceLine(item),
                                "unknown key '" + std::string(key.str()) + "' in pattern '" + name + "'");
                if (!articulationOf(item, &pattern.articulation)) return false;
            }
            if (!notesNode) return fail(sourceLine(value), "pattern '" + name + "' has no notes");
        }
        const auto content = notesNode->value<std::string>();
        if (!content) return fail(sourceLine(*notesNode), "pattern '" + name + "' must be a string of notes");
        NotationError notationError;
        if (!parsePatternNotes(*content, linesOf(*notesNode, *content).line, ticksPerBeat, &pattern,
                               &notationError))
            return fail(notationError.line, notationError.message);
        patterns[name] = std::move(pattern);
        return true;
    }

    bool channelNumber(const toml::node& value, int* channel) {
        if (const auto number = value.as_integer();
            number && number->get() >= 0 && number->get() < kChannelCount) {
            *channel = int(number->get());
            return true;
        }
        if (const auto name = value.value<std::string>(); name && channels.count(*name)) {
            *channel = channels[*name];
            return true;
        }
        return fail(sourceLine(value), "channel must be a channel name or a number from 0 to 15");
    }

    bool place(uint32_t* tickOut, int64_t position, int line, int64_t scale = 1) {
        if (placed.size() + 2 * notes.size() > kMaxEvents)
            return fail(line, "more than 1,000,000 events in all");
        const int64_t tick = sequencerTick(position, scale);
        if (tick > int64_t(kLastTick))
            return fail(line, "time past the last tick a song can hold (" + std::to_string(kLastTick) + ")");
        *tickOut = uint32_t(tick);
        return true;
    }

    // The articulation a value gives, or the message why it gives none.
    bool articulationOf(const toml::node& value, Articulation* articulation) {
        std::string why;
        if (parseArticulation(value.is_number(), value.value<double>().value_or(0.0),
                              value.value<std::string>().value_or(""), ticksPerBeat, articulation, &why))
            return true;
        return fail(sourceLine(value), why);
    }

    // The positions of `at`: one, or a list of them (cues, such as the picture's flashes).
    bool positionsOf(const toml::node* at, int line, std::vector<int64_t>* positions) {
        std::vector<const toml::node*> items;
        if (const auto* list = at ? at->as_array() : nullptr)
            for (const auto& item : *list) items.push_back(&item);
        else if (at)
            items.push_back(at);
        for (const toml::node* item : items) {
            const auto text = item->value<std::string>();
            int64_t position = 0;
            if (!text) break;
            if (!parsePosition(*text, sourceLine(*item), &position)) return false;
            positions->push_back(position);
        }
        if (positions->empty() || positions->size() != items.size())
            return fail(at ? sourceLine(*at) : line,
                        "an arrangement entry needs at = \"bar:beat:tick\" (or a list of them) and play = "
                        "\"patterns\"");
        return true;
    }

    // One arrangement entry: its patterns back to back from each of its positions.
    bool arrange(const toml::table& entry, int line) {
        int channel = 0;
        const toml::node* channelNode = entry.get("channel");
        if (!channelNode) return fail(line, "an arrangement entry needs a channel");
        if (!channelNumber(*channelNode, &channel)) return false;
        const auto play = entry["play"].value<std::string>();
        std::vector<int64_t> positions;
        if (!positionsOf(entry.get("at"), line, &positions)) return false;
        if (!play)
            return fail(line, "an arrangement entry needs at = \"bar:beat:tick\" and play = \"patterns\"");
        const int64_t repeat = entry["repeat"].value<int64_t>().value_or(1);
        const int64_t transpose = entry["transpose"].value<int64_t>().value_or(0);
        for (auto&& [key, item] : entry) {
            const std::string k(key.str());
            if (k != "channel" && k != "at" && k != "play" && k != "repeat" && k != "transpose" &&
                k != "velocity" && k != "articulation")
                return fail(sourceLine(item), "unknown key '" + k + "' in an arrangement entry");
        }
        if (repeat < 1 || repeat > 100000) return fail(line, "repeat must be from 1 to 100000");
        int64_t louder = 0;
        if (const toml::node* velocity = entry.get("velocity")) {
            const auto offset = velocity->as_integer();
            if (!offset || offset->get() < -126 || offset->get() > 126)
                return fail(sourceLine(*velocity),
                            "velocity is a whole number from -126 to 126, added to the notes'");
            louder = offset->get();
        }
        Articulation played;
        const toml::node* articulation = entry.get("articulation");
        if (articulation && !articulationOf(*articulation, &played)) return false;
        std::vector<std::pair<const Pattern*, int64_t>> sequence;
        size_t from = 0;
        while (from < play->size()) {
            const size_t end = std::min(play->find(' ', from), play->size());
            std::string word = play->substr(from, end - from);
            from = end + 1;
            if (word.empty()) continue;
            long long shift = 0;
            const size_t sign = word.find_last_of("+-");
            if (sign != std::string::npos && sign > 0 && parseInteger(word.substr(sign), &shift))
                word.erase(sign);
            else
                shift = 0;
            auto found = patterns.find(word);
            if (found == patterns.end()) return fail(line, "unknown pattern '" + word + "'");
            sequence.push_back({&found->second, transpose + shift});
        }
        for (int64_t position : positions) {
            for (int64_t r = 0; r < repeat; ++r) {
                for (auto& [pattern, shift] : sequence) {
                    const Articulation& how = articulation ? played : pattern->articulation;
                    for (const PatternNote& note : pattern->notes)
                        if (!placeNote(note, position, shift, louder, how, channel, line)) return false;
                    for (const PatternControl& control : pattern->controls) {
                        Placed event{0, channel, kControllerStream, control.controller, control.value,
                                     0, line};
                        if (!place(&event.tick, position + control.at, line)) return false;
                        placed.push_back(event);
                    }
                    position += pattern->length;
                }
            }
        }
        return true;
    }

    bool placeNote(const PatternNote& note, int64_t position, int64_t shift, int64_t louder,
                   const Articulation& articulation, int channel, int line) {
        const int64_t n = note.note + shift;
        if (n < 0 || n > 127)
            return fail(line, noteName(note.note) + " transposed by " + std::to_string(shift) +
                                  " is outside the notes 0 to 127");
        const int64_t velocity = note.velocity + louder;
        if (velocity < 1 || velocity > 127)
            return fail(line, "velocity " + std::to_string(note.velocity) + " changed by " +
                                  std::to_string(louder) + " is outside 1 to 127");
        PlacedNote placedNote{0, 0, channel, int(n), int(velocity), line};
        const int64_t start = position + note.at;
        if (!place(&placedNote.on, start, line) ||
            !place(&placedNote.off, start * kSubTicks + soundingLength(articulation, note.length), line,
                   kSubTicks))
            return false;
        // A note shorter than a sequencer tick still sounds for one: its note-off would
        // otherwise be delivered before its note-on and the note would hang.
        if (placedNote.off <= placedNote.on && (placedNote.off = placedNote.on + 1) > kLastTick)
            return fail(line, "time past the last tick a song can hold (" + std::to_string(kLastTick) + ")");
        notes.push_back(placedNote);
        return true;
    }

    // points = ["1:1:0 = 0", "9:1:0 -> 127"]: a value at a position, or a ramp to it from the
    // point before, one event per sequencer tick on which the value changes.
    bool automate(const toml::table& entry, int line) {
        int channel = 0;
        const toml::node* channelNode = entry.get("channel");
        if (!channelNode) return fail(line, "automation needs a channel");
        if (!channelNumber(*channelNode, &channel)) return false;
        const auto controller = entry["controller"].value<int64_t>();
        if (!controller || *controller < 0 || *controller > 127)
            return fail(line, "automation needs a controller from 0 to 127");
        const auto* points = entry["points"].as_array();
        if (!points) return fail(line, "automation needs points = [\"bar:beat:tick = value\", ...]");
        for (auto&& [key, item] : entry) {
            const std::string k(key.str());
            if (k != "channel" && k != "controller" && k != "points")
                return fail(sourceLine(item), "unknown key '" + k + "' in automation");
        }
        int64_t lastTick = -1, lastValue = 0, emitted = -1;
        for (const auto& item : *points) {
            const int pointLine = sourceLine(item);
            const auto text = item.value<std::string>();
            const size_t arrow = text ? text->find("->") : std::string::npos;
            const size_t equals = text ? text->find('=') : std::string::npos;
            const bool ramp = arrow != std::string::npos;
            const size_t split = ramp ? arrow : equals;
            auto trim = [](std::string s) {
                s.erase(0, s.find_first_not_of(' '));
                s.erase(s.find_last_not_of(' ') + 1);
                return s;
            };
            long long value = -1;
            if (!text || split == std::string::npos ||
                !parseInteger(trim(text->substr(split + (ramp ? 2 : 1))), &value) || value < 0 || value > 255)
                return fail(pointLine,
                            "a point is \"bar:beat:tick = value\" or \"bar:beat:tick -> value\" (value 0 "
                            "to 255)");
            int64_t position = 0;
            uint32_t tick = 0;
            if (!parsePosition(trim(text->substr(0, split)), pointLine, &position) ||
                !place(&tick, position, pointLine))
                return false;
            if (int64_t(tick) < lastTick)
                return fail(pointLine, "automation points must not go back in time");
            if (ramp && lastTick < 0) return fail(pointLine, "a ramp needs a point before it");
            if (ramp) {
                auto valueAt = [&](int64_t t) {
                    return lastValue + std::llround(double(value - lastValue) * double(t - lastTick) /
                                                    double(int64_t(tick) - lastTick));
                };
                // The value is monotonic in the tick: each run of equal values is skipped by
                // bisection, so a ramp costs its (at most 256) changes, not its ticks, of which
                // a long one has millions.
                for (int64_t t = lastTick + 1; t <= int64_t(tick);) {
                    const int64_t v = valueAt(t);
                    if (v != emitted)
                        placed.push_back({uint32_t(t), channel, kControllerStream, int(*controller), int(v),
                                          0, pointLine});
                    emitted = v;
                    int64_t same = t, other = int64_t(tick) + 1;
                    while (other - same > 1) {
                        const int64_t middle = same + (other - same) / 2;
                        (valueAt(middle) == v ? same : other) = middle;
                    }
                    t = other;
                }
            }
            if (!ramp || int64_t(tick) == lastTick) {
                placed.push_back(
                    {tick, channel, kControllerStream, int(*controller), int(value), 0, pointLine});
                emitted = value;
            }
            lastTick = tick;
            lastValue = value;
        }
        return true;
    }

    // One key per pitch, as on a keyboard: a note ends where the next note of its pitch on its
    // channel starts, so that its note-off cannot end the next one. Of notes of one pitch that
    // start on the same tick only the one that ends last sounds (of equals, the loudest).
    void strikeOnePitchOnce() {
        std::vector<size_t> order(notes.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        auto key = [&](size_t i) {
            const PlacedNote& n = notes[i];
            return std::make_tuple(n.channel, n.note, n.on, n.off, n.velocity, i);
        };
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return key(a) < key(b); });
        std::vector<bool> sounds(notes.size(), true);
        const PlacedNote* next = nullptr;
        for (size_t k = order.size(); k-- > 0;) {
            PlacedNote& note = notes[order[k]];
            if (next && (next->channel != note.channel || next->note != note.note)) next = nullptr;
            if (next && note.off > next->on) {
                note.off = std::max(note.on + 1, next->on);
                if (note.off > next->on) {
                    sounds[order[k]] = false;
                    continue;
                }
            }
            next = &note;
        }
        for (size_t i = 0; i < notes.size(); ++i) {
            if (!sounds[i]) continue;
            const PlacedNote& n = notes[i];
            placed.push_back({n.on, n.channel, kNoteOnStream, 0, n.note, n.velocity, n.line});
            placed.push_back({n.off, n.channel, 0, 0, n.note, 0, n.line});
        }
    }

    // Streams of every channel in order: note-offs, note-ons, controllers by number.
    bool cutStreams() {
        strikeOnePitchOnce();
        std::stable_sort(placed.begin(), placed.end(),
                         [](const Placed& a, const Placed& b) { return a.tick < b.tick; });
        for (int c = 0; c < kChannelCount; ++c) {
            Stream off{c, 0, 0, {}}, on{c, kNoteOnStream, 0, {}};
            std::map<int, Stream> controls;
            for (const Placed& event : placed) {
                if (event.channel != c) continue;
                const StreamEvent e{event.tick, uint8_t(event.value), uint8_t(event.velocity), event.line};
                if (event.kind == kControllerStream) {
                    Stream& stream =
                        controls
                            .try_emplace(event.controller, Stream{c, kControllerStream, event.controller, {}})
                            .first->second;
                    stream.events.push_back(e);
                } else {
                    (event.kind == kNoteOnStream ? on : off).events.push_back(e);
                }
            }
            if (!on.events.empty()) {
                song.streams.push_back(std::move(off));
                song.streams.push_back(std::move(on));
            }
            for (auto& [number, stream] : controls) song.streams.push_back(std::move(stream));
        }
        for (const Stream& stream : song.streams)
            if (stream.events.size() > kMaxStreamEvents)
                return fail(stream.events[kMaxStreamEvents].line,
                            "channel " + std::to_string(stream.channel) + " has more than 65,535 " +
                                (stream.kind == kNoteOnStream ? "note-ons"
                                 : stream.kind == 0           ? "note-offs"
                                                              : "controller values"));
        return true;
    }

    // Raw streams, as the dump writes them: events "tick value [velocity]" in stored order.
    bool rawStreams(const toml::array& list) {
        for (const auto& item : list) {
            const int line = sourceLine(item);
            const auto* table = item.as_table();
            if (!table) return fail(line, "a stream must be a table");
            int channel = 0;
            const toml::node* channelNode = table->get("channel");
            if (!channelNode) return fail(line, "a stream needs a channel");
            if (!channelNumber(*channelNode, &channel)) return false;
            const auto kindName = (*table)["kind"].value<std::string>();
            const auto kindNumber = (*table)["kind"].value<int64_t>();
            int kind = kindName     ? (*kindName == "off"          ? 0
                                       : *kindName == "on"         ? 1
                                       : *kindName == "controller" ? 3
                                                                   : -1)
                       : kindNumber ? int(*kindNumber)
                                    : -1;
            if (kind < 0 || kind > 15)
                return fail(line, "kind must be \"off\", \"on\", \"controller\" or 0 to 15");
            const int64_t controller = (*table)["controller"].value<int64_t>().value_or(0);
            if (controller < 0 || controller > 255) return fail(line, "controller must be from 0 to 255");
            Stream stream{channel, kind, int(controller), {}};
            const toml::node* eventsNode = table->get("events");
            const auto events = eventsNode ? eventsNode->value<std::string>() : std::nullopt;
            if (!events) return fail(line, "a stream needs events = \"tick value, ...\"");
            LineCounter lines = linesOf(*eventsNode, *events);
            size_t from = 0;
            while (from < events->size()) {
                size_t end = events->find(',', from);
                if (end == std::string::npos) end = events->size();
                const std::string part = events->substr(from, end - from);
                const int eventLine = lines.at(from);
                from = end + 1;
                std::vector<std::string> fields;
                size_t at = 0;
                while (at < part.size()) {
                    at = part.find_first_not_of(" \t\r\n", at);
                    if (at == std::string::npos) break;
                    const size_t stop = std::min(part.find_first_of(" \t\r\n", at), part.size());
                    fields.push_back(part.substr(at, stop - at));
                    at = stop;
                }
                if (fields.empty()) continue;
                const size_t wanted = kind == kNoteOnStream ? 3 : 2;
                long long tick = -1, velocity = 0;
                int value = -1;
                bool ok = fields.size() == wanted && parseInteger(fields[0], &tick) && tick >= 0;
                long long plain = -1;
                if (ok)
                    ok = parseInteger(fields[1], &plain)
                             ? (value = int(plain), plain >= 0 && plain <= 255)
                             : kind != kControllerStream && parseNote(fields[1], &value);
                if (ok && wanted == 3)
                    ok = parseInteger(fields[2], &velocity) && velocity >= 0 && velocity <= 255;
                if (!ok)
                    return fail(eventLine, "'" + part + "' is no event (tick value" +
                                               (wanted == 3 ? " velocity)" : ")"));
                if (tick > kLastTick)
                    return fail(eventLine, "time past the last tick a song can hold (" +
                                               std::to_string(kLastTick) + ")");
                if (!stream.events.empty() && uint32_t(tick) < stream.events.back().tick)
                    return fail(eventLine, "the events of a stream must not go back in time");
                stream.events.push_back({uint32_t(tick), uint8_t(value), uint8_t(velocity), eventLine});
            }
            if (stream.events.size() > kMaxStreamEvents)
                return fail(line, "a stream holds at most 65,535 events");
            song.streams.push_back(std::move(stream));
        }
        return true;
    }

    // Note events reaching one pool within one tick must fit its queues.
    bool checkQueues(const uint16_t* patch) {
        // Streams deliver in order, so counting per (tick, pool) over all streams is enough.
        std::map<std::pair<uint32_t, int>, std::pair<int, int>> counts; // (tick, pool) -> (offs, ons)
        int gate[kChannelCount][16] = {};
        std::vector<std::pair<uint32_t, const StreamEvent*>> noteEvents;
        auto poolOf = [&](int channel, int note) {
            int at = kFirstRoutingIndex;
            for (int c = 0; c < channel; ++c) at += 1 + recordInputCount(patch[at]);
            const int count = recordInputCount(patch[at]);
            for (int k = count - 1; k >= 0; --k) {
                const int pool = patch[at + 1 + k];
                if (pool >= kFirstConstantIndex) continue;
                const uint16_t range = patch[pool + 1 + recordInputCount(patch[pool])];
                if ((range & 0xFF) <= note && note <= (range >> 8)) return pool;
            }
            return -1;
        };
        auto count = [&](int channel, int note, bool isOn, const StreamEvent& event) {
            const int pool = poolOf(channel, note);
            if (pool < 0) return true;
            auto& slot = counts[{event.tick, pool}];
            int& n = isOn ? slot.second : slot.first;
            if (++n > (isOn ? kNoteOnQueue : kNoteOffQueue))
                return fail(event.line, std::string("more than ") + (isOn ? "48 note-ons" : "32 note-offs") +
                                            " reach one pool of channel " + std::to_string(channel) +
                                            " on tick " + std::to_string(event.tick));
            return true;
        };
        // Controllers 112..127 play notes 60..75 and need the gate state in time order.
        std::vector<std::pair<const Stream*, const StreamEvent*>> gates;
        for (const Stream& stream : song.streams) {
            for (const StreamEvent& event : stream.events) {
                if (stream.kind == kControllerStream) {
                    if (stream.controller >= 112 && stream.controller <= 127)
                        gates.push_back({&stream, &event});
                } else if (!count(stream.channel, event.value, stream.kind == kNoteOnStream, event)) {
                    return false;
                }
            }
        }
        std::stable_sort(gates.begin(), gates.end(),
                         [](auto& a, auto& b) { return a.second->tick < b.second->tick; });
        for (auto& [stream, event] : gates) {
            int& held = gate[stream->channel][stream->controller - 112];
            const int note = stream->controller - 52;
            if (held && !count(stream->channel, note, false, *event)) return false;
            if (event->value && !count(stream->channel, note, true, *event)) return false;
            held = event->value;
        }
        return true;
    }

    bool run(const toml::table& root, const uint16_t* patch) {
        static const char* const kKeys[] = {
            "tempo",    "ticks_per_beat", "beats_per_bar", "samples_per_tick", "length",
            "channels", "patterns",       "arrangement",   "automation",       "streams"};
        for (auto&& [key, value] : root) {
            const std::string_view name = key.str(); // a lambda may not capture a structured binding
            if (std::find_if(std::begin(kKeys), std::end(kKeys), [&](const char* k) { return name == k; }) ==
                std::end(kKeys))
                return fail(sourceLine(value), "unknown key '" + std::string(name) + "' in a song");
        }
        if (const toml::node* tempo = root.get("tempo")) {
            const double value = tempo->value<double>().value_or(0.0);
            if (!tempo->is_number() || !(value >= 1.0 && value <= 1000.0))
                return fail(sourceLine(*tempo), "tempo must be a number of beats per minute from 1 to 1000");
            song.tempo = float(value);
        }
        auto integerKey = [&](const char* key, int64_t low, int64_t high, int64_t* out) {
            const toml::node* node = root.get(key);
            if (!node) return true;
            const auto value = node->as_integer();
            if (!value || value->get() < low || value->get() > high)
                return fail(sourceLine(*node), std::string(key) + " must be a whole number from " +
                                                   std::to_string(low) + " to " + std::to_string(high));
            *out = value->get();
            return true;
        };
        int64_t samplesPerTick = 64;
        if (!integerKey("ticks_per_beat", 1, 100000, &ticksPerBeat) ||
            !integerKey("beats_per_bar", 1, 64, &beatsPerBar) ||
            !integerKey("samples_per_tick", 1, 65536, &samplesPerTick))
            return false;
        song.samplesPerTick = int32_t(samplesPerTick);
        if (const toml::node* list = root.get("channels")) {
            if (!list->as_table())
                return fail(sourceLine(*list), "channels must be a table of name = number");
            for (auto&& [key, value] : *list->as_table()) {
                const auto number = value.as_integer();
                if (!number || number->get() < 0 || number->get() >= kChannelCount)
                    return fail(sourceLine(value),
                                "channel '" + std::string(key.str()) + "' needs a number from 0 to 15");
                channels[std::string(key.str())] = int(number->get());
            }
        }
        if (const toml::node* list = root.get("patterns")) {
            if (!list->as_table()) return fail(sourceLine(*list), "patterns must be a table");
            for (auto& [name, value] : entriesInOrder(*list->as_table()))
                if (!parsePattern(name, *value)) return false;
        }
        for (const char* section : {"arrangement", "automation"}) {
            const toml::node* list = root.get(section);
            if (!list) continue;
            if (!list->as_array())
                return fail(sourceLine(*list), std::string(section) + " must be a list of tables");
            for (const auto& entry : *list->as_array()) {
                if (!entry.as_table())
                    return fail(sourceLine(entry), std::string(section) + " entries must be tables");
                if (!(section[1] == 'r' ? arrange(*entry.as_table(), sourceLine(entry))
                                        : automate(*entry.as_table(), sourceLine(entry))))
                    return false;
            }
        }
        if (const toml::node* list = root.get("streams")) {
            if (root.get("arrangement") || root.get("automation"))
                return fail(sourceLine(*list), "a song gives raw streams or an arrangement, not both");
            if (!list->as_array()) return fail(sourceLine(*list), "streams must be a list of tables");
            if (!rawStreams(*list->as_array())) return false;
        } else if (!cutStreams()) {
            return false;
        }
        uint32_t lastTick = 0;
        for (const Stream& stream : song.streams)
            for (const StreamEvent& event : stream.events) lastTick = std::max(lastTick, event.tick);
        song.lengthSamples =
            int32_t(std::min<int64_t>(int64_t(lastTick + 1) * song.samplesPerTick, 0x7FFFFFFF));
        if (const toml::node* length = root.get("length")) {
            if (const auto samples = length->as_integer()) {
                if (samples->get() < 0 || samples->get() > 0x7FFFFFFF)
                    return fail(sourceLine(*length), "length in samples must be from 0 to 2147483647");
                song.lengthSamples = int32_t(samples->get());
            } else if (const auto end = length->value<std::string>()) {
                int64_t position = 0;
                if (!parsePosition(*end, sourceLine(*length), &position)) return false;
                const int64_t samples = sequencerTick(position) * song.samplesPerTick;
                if (samples > 0x7FFFFFFF)
                    return fail(sourceLine(*length), "the song is longer than 2^31 samples");
                song.lengthSamples = int32_t(samples);
            } else {
                return fail(sourceLine(*length),
                            "length is a number of samples or an end position \"bar:beat:tick\"");
            }
        }
        return !patch || checkQueues(patch);
    }
};

} // namespace

bool compileSong(const std::string& text, const std::string& path, const uint16_t* patch,
                 std::vector<uint8_t>* bytes, std::string* error) {
    toml::parse_result parsed;
    if (!parseSource(text, path, &parsed, error)) return false;
    SongCompiler compiler;
    compiler.path = path;
    compiler.text = &text;
    compiler.error = error;
    if (!compiler.run(parsed.table(), patch)) return false;
    *bytes = encodeSong(compiler.song);
    return true;
}
