// Prints patch words back as patch source: the layout the compiler writes (master, channel
// outputs, routing sums, shared nodes, then each pool with its instrument) is read back into
// channels, nodes and instruments; names are made from word indices.
#include "songc/music_text.h"
#include "songc/songc.h"
#include "songc/unit_catalogue.h"
#include "songc/value_units.h"

#include "synth/patch.h"
#include "synth/unit_table.h"

#include <bit>
#include <map>
#include <set>

namespace {

struct Record {
    int index, type, shared;
    const UnitInfo* unit;
    std::vector<int> inputs;
    uint16_t params[2];
    std::vector<bool> feedback;
    int block = -1; // -1 shared nodes; else the instrument (by its root index) it is written in
};

struct PatchDumper {
    const uint16_t* words;
    std::string* error;
    std::vector<Record> records;
    std::map<int, int> byIndex;
    std::map<int, std::string> routeNames;

    bool fail(const std::string& message) {
        *error = message;
        return false;
    }

    bool read() {
        int at = 0;
        while (at < kFirstConstantIndex && words[at] != 0) {
            Record record{at, recordType(words[at]), recordShared(words[at]), nullptr, {}, {0, 0}, {}, -1};
            record.unit = unitByType(record.type);
            if (!record.unit)
                return fail("word " + std::to_string(at) + ": unknown unit type " +
                            std::to_string(record.type));
            const int count = recordInputCount(words[at]);
            const int end = at + 1 + count + record.unit->paramWords;
            if (end > kFirstConstantIndex)
                return fail("word " + std::to_string(at) + ": the record runs into the constants");
            for (int k = 0; k < count; ++k) record.inputs.push_back(words[at + 1 + k]);
            for (int p = 0; p < record.unit->paramWords; ++p) record.params[p] = words[at + 1 + count + p];
            record.feedback.assign(count, false);
            byIndex[at] = int(records.size());
            records.push_back(record);
            at = end;
        }
        for (int w = at; w < kFirstConstantIndex; ++w)
            if (words[w] != 0) return fail("word " + std::to_string(w) + ": not zero after the last record");
        for (const Record& record : records)
            for (int input : record.inputs)
                if (input < kFirstConstantIndex
                        ? !byIndex.count(input)
                        : input >= kNodeIndexLimit ||
                              (input < kFirstStereoConstantIndex ? input % 2
                                                                 : (input - kFirstStereoConstantIndex) % 4))
                    return fail("word " + std::to_string(record.index) + ": input " + std::to_string(input) +
                                " is neither a record nor a constant");
        return true;
    }

    const Record* at(int index) const {
        auto found = byIndex.find(index);
        return found == byIndex.end() ? nullptr : &records[found->second];
    }

    bool checkLayout() {
        const Record* master = at(0);
        if (!master || master->inputs.size() != 2 || master->unit->paramWords)
            return fail("word 0 does not hold a master node of two inputs");
        for (int c = 0; c < kChannelCount; ++c) {
            const Record* output = at(channelOutputIndex(c));
            if (!output || output->type != int(UnitType::ChannelOutput) || output->inputs.size() != 2)
                return fail("word " + std::to_string(channelOutputIndex(c)) + " does not hold channel " +
                            std::to_string(c) + "'s output");
        }
        int route = kFirstRoutingIndex;
        for (int c = 0; c < kChannelCount; ++c) {
            const Record* sum = at(route);
            if (!sum || sum->type != int(UnitType::Sum))
                return fail("word " + std::to_string(route) + " is no routing sum");
            for (int pool : sum->inputs)
                if (pool >= kFirstConstantIndex || at(pool)->type != int(UnitType::VoicePool))
                    return fail("word " + std::to_string(route) + ": a routing sum takes only pools");
            routeNames[route] = "ch" + std::to_string(c) + ".pools";
            route += 1 + int(sum->inputs.size());
        }
        return true;
    }

    // Inputs that close a loop (back edges of the compiler's own search) are marked '~'.
    void markFeedback() {
        std::vector<int> state(records.size(), 0);
        for (size_t start = 0; start < records.size(); ++start) {
            if (state[start]) continue;
            std::vector<std::pair<int, size_t>> walk{{int(start), 0}};
            state[start] = 1;
            while (!walk.empty()) {
                auto& [id, k] = walk.back();
                Record& record = records[id];
                const bool delay =
                    record.type == int(UnitType::Delay) || record.type == int(UnitType::EchoDelay);
                if (delay || k >= record.inputs.size()) {
                    state[id] = 2;
                    walk.pop_back();
                    continue;
                }
                const size_t input = k++;
                if (record.inputs[input] >= kFirstConstantIndex) continue;
                const int next = byIndex[record.inputs[input]];
                if (state[next] == 1) record.feedback[input] = true;
                if (state[next] == 0) {
                    state[next] = 1;
                    walk.push_back({next, 0});
                }
            }
        }
    }

    std::string name(int index) const {
        if (index == 0) return "master";
        for (int c = 0; c < kChannelCount; ++c)
            if (index == channelOutputIndex(c)) return "ch" + std::to_string(c);
        auto route = routeNames.find(index);
        return route != routeNames.end() ? route->second : "n" + std::to_string(index);
    }

    std::string input(const Record& record, size_t k) const {
        const int index = record.inputs[k];
        const int roles = unitInputCount(*record.unit);
        const ValueUnit unit = int(k) < roles ? record.unit->inputs[k].unit : ValueUnit::None;
        // With its unit where that reads back to the same number, else the number itself.
        auto lane = [&](int at) {
            const std::string text = unitText(unit, record.params[0], patchValue(at));
            return text.empty() ? floatText(patchValue(at)) : quoted(text);
        };
        if (index >= kFirstStereoConstantIndex) return "[" + lane(index) + ", " + lane(index + 2) + "]";
        if (index >= kFirstConstantIndex) return lane(index);
        return quoted((record.feedback[k] ? "~" : "") + name(index));
    }

    float patchValue(int index) const {
        return std::bit_cast<float>(uint32_t(words[index]) | uint32_t(words[index + 1]) << 16);
    }

    // The parameter words by field, or raw when a bit has no field that shows it.
    std::string params(const Record& record) const {
        const UnitInfo& unit = *record.unit;
        if (!unit.paramWords) return "";
        std::string text;
        uint16_t rebuilt[2] = {0, 0};
        for (int f = 0; f < unit.fieldCount; ++f) {
            const ParamField& field = unit.fields[f];
            int value = 0;
            if (!fieldValue(field, record.params, &value)) return rawParams(record);
            rebuilt[field.word] |= fieldBits(field, value);
            if (field.kind == FieldKind::Sections && (value & 1) == 0 && value / 2 == 0)
                return rawParams(record);
            const bool isDefault = field.kind == FieldKind::Number     ? value == field.offset
                                   : field.kind == FieldKind::Sections ? value == 1
                                                                       : value == 0;
            if (isDefault && field.kind != FieldKind::KeyRange && field.kind != FieldKind::Voices) continue;
            text += ", " + std::string(field.key) + " = ";
            switch (field.kind) {
            case FieldKind::Choice:
                text += quoted(field.names[value]);
                break;
            case FieldKind::Flag:
                text += value ? "true" : "false";
                break;
            case FieldKind::KeyRange:
                if ((value & 0xFF) > (value >> 8)) return rawParams(record);
                text += quoted((value & 0xFF) == (value >> 8)
                                   ? noteName(value & 0xFF)
                                   : noteName(value & 0xFF) + ".." + noteName(value >> 8));
                break;
            default:
                text += std::to_string(value);
            }
        }
        for (int p = 0; p < unit.paramWords; ++p)
            if (rebuilt[p] != record.params[p]) return rawParams(record);
        return text;
    }

    std::string rawParams(const Record& record) const {
        std::string text = ", params = [";
        for (int p = 0; p < record.unit->paramWords; ++p)
            text += (p ? ", " : "") + std::to_string(record.params[p]);
        return text + "]";
    }

    std::string node(const Record& record) const {
        std::string text = name(record.index) + " = { type = " + quoted(record.unit->name);
        const int roles = unitInputCount(*record.unit);
        if (roles < 0 || int(record.inputs.size()) != roles) {
            text += ", inputs = [";
            for (size_t k = 0; k < record.inputs.size(); ++k) text += (k ? ", " : "") + input(record, k);
            text += "]";
        } else {
            for (size_t k = 0; k < record.inputs.size(); ++k)
                text += ", " + std::string(record.unit->inputs[k].name) + " = " + input(record, k);
        }
        const bool defaultShared = record.block < 0;
        if (bool(record.shared) != defaultShared)
            text += record.shared ? ", shared = true" : ", shared = false";
        return text + params(record) + " }\n";
    }

    bool write(std::string* out) {
        std::string& text = *out;
        text = "# Patch source printed from patch words.\n\n";
        const Record& master = *at(0);
        // A master that is not in the catalogue with two inputs is written positionally.
        text += "master = { type = " + quoted(master.unit->name);
        text += ", inputs = [" + input(master, 0) + ", " + input(master, 1) + "] }\n";
        // Blocks: shared nodes until the first pool, then each pool and the records after it.
        std::set<int> skeleton{0};
        int route = kFirstRoutingIndex;
        std::vector<int> routes;
        for (int c = 0; c < kChannelCount; ++c) {
            skeleton.insert(channelOutputIndex(c));
            skeleton.insert(route);
            routes.push_back(route);
            route += 1 + int(at(route)->inputs.size());
        }
        int block = -1;
        std::vector<int> shared, pools;
        std::map<int, std::vector<int>> instruments; // root index -> records
        std::vector<int> instrumentOrder;
        for (Record& record : records) {
            if (skeleton.count(record.index)) continue;
            if (record.type == int(UnitType::VoicePool)) {
                pools.push_back(record.index);
                const int root = record.inputs.empty() ? -1 : record.inputs[0];
                if (root < 0 || root >= kFirstConstantIndex)
                    return fail("a pool at word " + std::to_string(record.index) + " has no voice template");
                if (!instruments.count(root)) {
                    block = root;
                    instruments[root];
                    instrumentOrder.push_back(root);
                } else {
                    block = -2; // records after a pool that reuses an instrument have no home
                }
                continue;
            }
            if (block == -2)
                return fail("word " + std::to_string(record.index) +
                            " lies after a pool that starts no instrument");
            record.block = block;
            if (block < 0)
                shared.push_back(record.index);
            else
                instruments[block].push_back(record.index);
        }
        for (int root : instrumentOrder)
            if (instruments[root].empty() || instruments[root].front() != root)
                return fail("the voice template at word " + std::to_string(root) +
                            " does not follow its pool");
        for (const Record& record : records)
            for (size_t k = 0; k < record.inputs.size(); ++k) {
                const Record* target = at(record.inputs[k]);
                if (!target || target->block < 0) continue;
                const bool poolTemplate = record.type == int(UnitType::VoicePool) && k == 0;
                if (!poolTemplate && target->block != record.block)
                    return fail("word " + std::to_string(record.index) +
                                " takes a node of another instrument");
            }
        for (int c = 0; c < kChannelCount; ++c) {
            const Record& output = *at(channelOutputIndex(c));
            const Record& sum = *at(routes[c]);
            const bool plainSignal = output.inputs[0] == routes[c] && !output.feedback[0];
            const bool plainVolume = output.inputs[1] >= kFirstConstantIndex &&
                                     output.inputs[1] < kFirstStereoConstantIndex &&
                                     patchValue(output.inputs[1]) == 1.0f;
            if (plainSignal && plainVolume && sum.inputs.empty()) continue;
            text += "\n[channels.ch" + std::to_string(c) + "]\nnumber = " + std::to_string(c) + "\n";
            text += "volume = " + input(output, 1) + "\n";
            if (!plainSignal) text += "signal = " + input(output, 0) + "\n";
            if (sum.inputs.empty()) continue;
            text += "pools = [\n";
            for (int poolIndex : sum.inputs) {
                const Record& pool = *at(poolIndex);
                if (pool.inputs.size() != 4)
                    return fail("the pool at word " + std::to_string(poolIndex) + " does not take 4 inputs");
                text += "    { instrument = \"i" + std::to_string(pool.inputs[0]) +
                        "\", transpose = " + input(pool, 1) + ", spare1 = " + input(pool, 2) +
                        ", spare2 = " + input(pool, 3) + params(pool) + " },\n";
            }
            text += "]\n";
        }
        // Routing sums hold pools in channel order; the compiler writes the pools in that order.
        std::vector<int> routed;
        for (int c = 0; c < kChannelCount; ++c)
            for (int pool : at(routes[c])->inputs) routed.push_back(pool);
        if (routed != pools) return fail("the pools are not stored in the order of the routing sums");
        if (!shared.empty()) {
            text += "\n[nodes]\n";
            for (int index : shared) text += node(*at(index));
        }
        for (int root : instrumentOrder) {
            text += "\n[instruments.i" + std::to_string(root) + "]\n";
            for (int index : instruments[root]) text += node(*at(index));
        }
        return true;
    }
};

} // namespace

bool dumpPatch(const uint16_t* words, std::string* text, std::string* error) {
    PatchDumper dumper{words, error, {}, {}, {}};
    if (!dumper.read() || !dumper.checkLayout()) return false;
    dumper.markFeedback();
    return dumper.write(text);
}

std::string patchStats(const uint16_t* words) {
    int at = 0, records = 0;
    std::set<int> mono, stereo;
    std::map<std::string, int> types;
    while (at < kFirstConstantIndex && words[at] != 0) {
        const UnitInfo* unit = unitByType(recordType(words[at]));
        const int count = recordInputCount(words[at]);
        for (int k = 0; k < count && at + 1 + k < kFirstConstantIndex; ++k) {
            const int input = words[at + 1 + k];
            if (input >= kFirstStereoConstantIndex)
                stereo.insert(input);
            else if (input >= kFirstConstantIndex)
                mono.insert(input);
        }
        ++types[unit ? unit->name : "Unknown"];
        ++records;
        at += 1 + count + (unit ? unit->paramWords : 0);
    }
    std::string text =
        "records: " + std::to_string(records) + " using " + std::to_string(at) + " of 1536 words\n";
    text += "constants: " + std::to_string(mono.size()) + " of 130 mono, " + std::to_string(stereo.size()) +
            " of 11 stereo\n";
    text += "unit types:";
    for (auto& [name, count] : types) text += " " + name + " " + std::to_string(count);
    return text + "\n";
}
