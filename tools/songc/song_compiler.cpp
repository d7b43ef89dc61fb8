// The song compiler: patterns in the note notation, placed by the arrangement and the
// automation, become per-channel streams (note-offs, note-ons, then the channel's controllers).
#include "songc/music_text.h"
#include "songc/song_model.h"
#include "songc/songc.h"
#include "songc/toml_support.h"

#include "synth/patch.h"
#include "synth/song.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace {

constexpr uint32_t kLastTick = 0xFFFFFF;
constexpr size_t kMaxStreamEvents = 0xFFFF;
constexpr int kNoteOffQueue = 32, kNoteOnQueue = 48;
// Some 300 times the show's song: the cap ends a runaway repeat within a second.
constexpr size_t kMaxEvents = 1000000;

struct PatternNote {
    int64_t at, length;
    int note, velocity, line;
};
struct PatternControl {
    int64_t at;
    int controller, value, line;
};
struct Pattern {
    std::vector<PatternNote> notes;
    std::vector<PatternControl> controls;
    int64_t length = 0;
};

// One note or controller value at a sequencer tick, before the streams are cut.
struct Placed {
    uint32_t tick;
    int channel, kind, controller, value, velocity, line;
};

struct SongCompiler {
    std::string path;
    const std::string* text = nullptr;
    std::string* error = nullptr;
    SongBlob song;
    int64_t ticksPerBeat = 48, beatsPerBar = 4;
    std::map<std::string, int> channels;
    std::map<std::string, Pattern> patterns;
    std::vector<Placed> placed;

    bool fail(int line, const std::string& message) {
        *error = path + ":" + std::to_string(line) + ": " + message;
        return false;
    }

    // Sequencer tick of a position in pattern ticks: floor(position * samples per pattern
    // tick / samples per sequencer tick), in whole numbers so that no rounding moves a note.
    int64_t sequencerTick(int64_t position) const {
        const int64_t milliTempo = std::llround(double(song.tempo) * 1000.0);
        const __int128 numerator = __int128(position) * 60 * 44100 * 1000;
        const __int128 denominator = __int128(milliTempo) * ticksPerBeat * song.samplesPerTick;
        return int64_t(numerator / denominator);
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

    bool parseLength(const std::string& token, size_t& i, int line, int64_t* length) {
        const char mark = token[i++];
        size_t end = i;
        while (end < token.size() && token[end] >= '0' && token[end] <= '9') ++end;
        long long number = 0;
        if (!parseInteger(token.substr(i, end - i), &number) || number <= 0)
            return fail(line, "'" + token + "': a length is /N (a note value) or :T (ticks)");
        i = end;
        if (mark == ':') {
            *length = number;
            return true;
        }
        int64_t ticks = 4 * ticksPerBeat;
        if (ticks % number)
            return fail(line, "'" + token + "': /" + std::to_string(number) +
                                  " is not a whole number "
                                  "of ticks at " +
                                  std::to_string(ticksPerBeat) + " ticks per beat");
        ticks /= number;
        if (i < token.size() && token[i] == '.') {
            ++i;
            if (ticks % 2)
                return fail(line, "'" + token + "': the dotted length is not a whole number of ticks");
            ticks += ticks / 2;
        }
        *length = ticks;
        return true;
    }

    bool parsePattern(const std::string& name, const toml::node& value) {
        const toml::node* notesNode = &value;
        if (const auto* table = value.as_table()) {
            notesNode = table->get("notes");
            for (auto&& [key, item] : *table)
                if (key.str() != "notes")
                    return fail(sourceLine(item),
                                "unknown key '" + std::string(key.str()) + "' in pattern '" + name + "'");
            if (!notesNode) return fail(sourceLine(value), "pattern '" + name + "' has no notes");
        }
        const auto content = notesNode->value<std::string>();
        if (!content) return fail(sourceLine(*notesNode), "pattern '" + name + "' must be a string of notes");
        Pattern pattern;
        int64_t at = 0, length = ticksPerBeat;
        int velocity = 100;
        const std::string& s = *content;
        LineCounter lines = linesOf(*notesNode, s);
        size_t start = 0;
        while (start < s.size()) {
            if (s[start] == ' ' || s[start] == '\t' || s[start] == '\n' || s[start] == '\r' ||
                s[start] == ',' || s[start] == '|') {
                ++start;
                continue;
            }
            size_t end = start;
            while (end < s.size() && s[end] != ' ' && s[end] != '\t' && s[end] != '\n' && s[end] != '\r' &&
                   s[end] != ',' && s[end] != '|')
                ++end;
            const std::string token = s.substr(start, end - start);
            const int line = lines.at(start);
            start = end;
            if (token.rfind("cc", 0) == 0) {
                const size_t equals = token.find('=');
                long long controller = -1, number = -1;
                if (equals == std::string::npos || !parseInteger(token.substr(2, equals - 2), &controller) ||
                    !parseInteger(token.substr(equals + 1), &number) || controller < 0 || controller > 127 ||
                    number < 0 || number > 255)
                    return fail(line,
                                "'" + token + "': a controller value is ccN=V (N 0 to 127, V 0 to 255)");
                pattern.controls.push_back({at, int(controller), int(number), line});
                continue;
            }
            size_t i = token.find_first_of("/:@&");
            std::vector<int> chord;
            const std::string head = token.substr(0, i);
            if (head != "r") {
                size_t from = 0;
                while (from <= head.size()) {
                    const size_t plus = head.find('+', from);
                    int note = 0;
                    const std::string part = head.substr(from, plus - from);
                    if (!parseNote(part, &note))
                        return fail(line, "'" + token + "': '" + part + "' is no note from C-1 to G9");
                    chord.push_back(note);
                    if (plus == std::string::npos) break;
                    from = plus + 1;
                }
            }
            bool hold = false;
            while (i != std::string::npos && i < token.size()) {
                if (token[i] == '/' || token[i] == ':') {
                    if (!parseLength(token, i, line, &length)) return false;
                } else if (token[i] == '@') {
                    size_t end = i + 1;
                    while (end < token.size() && token[end] >= '0' && token[end] <= '9') ++end;
                    long long v = 0;
                    if (!parseInteger(token.substr(i + 1, end - i - 1), &v) || v < 1 || v > 127)
                        return fail(line, "'" + token + "': a velocity is @1 to @127");
                    velocity = int(v);
                    i = end;
                } else if (token[i] == '&' && i + 1 == token.size() && !chord.empty()) {
                    hold = true;
                    ++i;
                } else {
                    return fail(line, "'" + token + "' is no note, rest or controller value");
                }
            }
            for (int note : chord) pattern.notes.push_back({at, length, note, velocity, line});
            if (!hold) at += length;
        }
        pattern.length = at;
        for (const PatternNote& note : pattern.notes) pattern.length = std::max(pattern.length, note.at);
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

    bool place(uint32_t* tickOut, int64_t position, int line) {
        if (placed.size() > kMaxEvents) return fail(line, "more than 1,000,000 events in all");
        const int64_t tick = sequencerTick(position);
        if (tick > int64_t(kLastTick))
            return fail(line, "time past the last tick a song can hold (" + std::to_string(kLastTick) + ")");
        *tickOut = uint32_t(tick);
        return true;
    }

    bool arrange(const toml::table& entry, int line) {
        int channel = 0;
        const toml::node* channelNode = entry.get("channel");
        if (!channelNode) return fail(line, "an arrangement entry needs a channel");
        if (!channelNumber(*channelNode, &channel)) return false;
        const auto at = entry["at"].value<std::string>();
        const auto play = entry["play"].value<std::string>();
        if (!at || !play)
            return fail(line, "an arrangement entry needs at = \"bar:beat:tick\" and play = \"patterns\"");
        int64_t position = 0;
        if (!parsePosition(*at, line, &position)) return false;
        const int64_t repeat = entry["repeat"].value<int64_t>().value_or(1);
        const int64_t transpose = entry["transpose"].value<int64_t>().value_or(0);
        for (auto&& [key, item] : entry) {
            const std::string k(key.str());
            if (k != "channel" && k != "at" && k != "play" && k != "repeat" && k != "transpose")
                return fail(sourceLine(item), "unknown key '" + k + "' in an arrangement entry");
        }
        if (repeat < 1 || repeat > 100000) return fail(line, "repeat must be from 1 to 100000");
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
        for (int64_t r = 0; r < repeat; ++r) {
            for (auto& [pattern, shift] : sequence) {
                for (const PatternNote& note : pattern->notes) {
                    const int64_t n = note.note + shift;
                    if (n < 0 || n > 127)
                        return fail(line, noteName(note.note) + " transposed by " + std::to_string(shift) +
                                              " is outside the notes 0 to 127");
                    Placed on{0, channel, kNoteOnStream, 0, int(n), note.velocity, line};
                    Placed off{0, channel, 0, 0, int(n), 0, line};
                    if (!place(&on.tick, position + note.at, line) ||
                        !place(&off.tick, position + note.at + note.length, line))
                        return false;
                    // A note shorter than a sequencer tick still sounds for one: its note-off
                    // would otherwise be delivered before its note-on and the note would hang.
                    if (off.tick <= on.tick && (off.tick = on.tick + 1) > kLastTick)
                        return fail(line, "time past the last tick a song can hold (" +
                                              std::to_string(kLastTick) + ")");
                    placed.push_back(on);
                    placed.push_back(off);
                }
                for (const PatternControl& control : pattern->controls) {
                    Placed event{0, channel, kControllerStream, control.controller, control.value, 0, line};
                    if (!place(&event.tick, position + control.at, line)) return false;
                    placed.push_back(event);
                }
                position += pattern->length;
            }
        }
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

    // Streams of every channel in order: note-offs, note-ons, controllers by number.
    bool cutStreams() {
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
