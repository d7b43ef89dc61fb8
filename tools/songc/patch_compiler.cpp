// The patch compiler: places the records (master, channel outputs, routing sums, shared nodes,
// then each pool followed by its instrument), pools the constants and checks the graph.
#include "songc/music_text.h"
#include "songc/songc.h"
#include "songc/toml_support.h"
#include "songc/unit_catalogue.h"
#include "songc/value_units.h"

#include "synth/patch.h"
#include "synth/unit_node.h"
#include "synth/unit_table.h"

#include <bit>
#include <cmath>
#include <map>

namespace {

constexpr int kMonoConstants = (kFirstStereoConstantIndex - kFirstConstantIndex) / 2; // 130
constexpr int kStereoConstants = (kNodeIndexLimit - kFirstStereoConstantIndex) / 4;   // 11

struct Input {
    enum Kind { Name, Mono, Stereo } kind = Mono;
    std::string name;
    bool feedback = false; // written '~name': closes a loop with the previous sample's value
    float left = 0, right = 0;
    // A lane written with a unit ("-6 dB"), converted once the node's flags are known.
    std::string unitText[2];
    std::string role; // as written, for messages
    int line = 0;
    int index = -1;
};

struct Node {
    std::string name;
    int scope = -1; // instrument number, -1 for the shared namespace
    const UnitInfo* unit = nullptr;
    bool shared = true;
    std::vector<Input> inputs;
    uint16_t params[2] = {0, 0};
    int line = 0;
    int index = -1;
    int instrument = -1; // pools: the instrument they play
};

struct Instrument {
    std::string name;
    int line = 0;
    std::vector<int> nodes;
    bool placed = false;
};

struct Channel {
    std::string name;
    int line = 0;
    int output = -1, route = -1;
    std::vector<int> pools;
};

struct PatchCompiler {
    std::string path;
    std::string* error;
    std::vector<Node> nodes;
    std::vector<Instrument> instruments;
    Channel channels[kChannelCount];
    std::map<std::string, int> globals;
    std::vector<std::map<std::string, int>> locals;
    std::vector<int> order; // nodes in record order
    std::map<uint32_t, int> mono;
    std::map<uint64_t, int> stereo;
    std::vector<uint16_t>* words = nullptr;

    bool fail(int line, const std::string& message) {
        *error = path + ":" + std::to_string(line) + ": " + message;
        return false;
    }

    // One lane of a constant: a finite number, or a text with a unit to convert later.
    bool parseLane(const toml::node& value, float* lane, std::string* unitText) {
        if (const auto* text = value.as_string(); text && looksLikeUnitValue(text->get())) {
            *unitText = text->get();
            return true;
        }
        if (!value.is_number()) return false;
        *lane = float(value.value<double>().value_or(0.0));
        return std::isfinite(*lane);
    }

    bool parseInput(const toml::node& value, const std::string& role, Input* input) {
        input->line = sourceLine(value);
        input->role = role;
        const std::string forms = "input '" + role +
                                  "' must be a node name, a finite number (or one with a unit) " +
                                  "or a pair of them";
        if (const auto* text = value.as_string(); text && !looksLikeUnitValue(text->get())) {
            std::string name = text->get();
            input->kind = Input::Name;
            if (!name.empty() && name[0] == '~') {
                input->feedback = true;
                name.erase(0, 1);
            }
            input->name = name;
            return true;
        }
        if (value.is_number() || value.is_string()) {
            input->kind = Input::Mono;
            if (!parseLane(value, &input->left, &input->unitText[0])) return fail(input->line, forms);
            input->right = input->left;
            input->unitText[1] = input->unitText[0];
            return true;
        }
        if (const auto* pair = value.as_array(); pair && pair->size() == 2) {
            input->kind = Input::Stereo;
            if (parseLane((*pair)[0], &input->left, &input->unitText[0]) &&
                parseLane((*pair)[1], &input->right, &input->unitText[1]))
                return true;
        }
        return fail(input->line, forms);
    }

    // Inputs written with units become the numbers their roles store; the envelope's gain
    // depends on its level_gain flag, so this waits until the whole node is read.
    bool convertUnits(Node& node) {
        const int roles = unitInputCount(*node.unit);
        for (size_t k = 0; k < node.inputs.size(); ++k) {
            Input& input = node.inputs[k];
            const ValueUnit unit = int(k) < roles ? node.unit->inputs[k].unit : ValueUnit::None;
            float* lanes[2] = {&input.left, &input.right};
            for (int lane = 0; lane < 2; ++lane) {
                if (input.unitText[lane].empty()) continue;
                std::string why;
                if (!unitValue(unit, node.params[0], input.unitText[lane], lanes[lane], &why))
                    return fail(input.line,
                                "'" + input.unitText[lane] + "': input '" + input.role + "' " + why);
            }
        }
        return true;
    }

    bool parseField(const ParamField& field, const toml::node& value, const std::string& type, Node* node) {
        const int line = sourceLine(value);
        const std::string where = "parameter '" + std::string(field.key) + "' of " + type;
        int number = 0;
        switch (field.kind) {
        case FieldKind::Choice: {
            const auto name = value.value<std::string>();
            number = -1;
            for (int i = 0; name && i < field.nameCount; ++i)
                if (field.names[i] && *name == field.names[i]) number = i;
            if (number < 0) {
                std::string known;
                for (int i = 0; i < field.nameCount; ++i)
                    if (field.names[i]) known += std::string(known.empty() ? "" : ", ") + field.names[i];
                return fail(line, where + " must be one of: " + known);
            }
            break;
        }
        case FieldKind::Flag: {
            const auto flag = value.value<bool>();
            if (!flag || !value.is_boolean()) return fail(line, where + " must be true or false");
            number = *flag;
            break;
        }
        case FieldKind::Number: {
            const auto integer = value.as_integer();
            const long long limit = (1ll << field.width) - 1 + field.offset;
            if (!integer || integer->get() < field.offset || integer->get() > limit)
                return fail(line, where + " must be a whole number from " + std::to_string(field.offset) +
                                      " to " + std::to_string(limit));
            number = int(integer->get());
            break;
        }
        case FieldKind::Sections: {
            const auto integer = value.as_integer();
            if (!integer || !(integer->get() == 1 ||
                              (integer->get() % 2 == 0 && integer->get() >= 2 && integer->get() <= 30)))
                return fail(line, where + " must be 1 or an even number up to 30");
            number = int(integer->get());
            break;
        }
        case FieldKind::KeyRange: {
            const auto text = value.value<std::string>();
            int low = 0, high = 0;
            const size_t dots = text ? text->find("..") : std::string::npos;
            bool ok = text && (dots == std::string::npos ? parseNote(*text, &low) && (high = low, true)
                                                         : parseNote(text->substr(0, dots), &low) &&
                                                               parseNote(text->substr(dots + 2), &high));
            if (!ok || low > high) return fail(line, where + " must be a note or a range such as \"C2..C7\"");
            number = low | high << 8;
            break;
        }
        case FieldKind::Voices: {
            const auto integer = value.as_integer();
            const long long v = integer ? integer->get() : 0;
            if (v != 8 && v != 16 && v != 32 && v != 64)
                return fail(line, where + " must be 8, 16, 32 or 64");
            number = int(v);
            break;
        }
        }
        node->params[field.word] |= fieldBits(field, number);
        return true;
    }

    // The raw parameter words, `params = [..]` or `param = N`.
    bool parseRawParams(const toml::node& value, const UnitInfo& unit, Node* node) {
        const int line = sourceLine(value);
        std::vector<const toml::node*> list;
        if (const auto* array = value.as_array())
            for (const auto& item : *array) list.push_back(&item);
        else
            list.push_back(&value);
        const std::string count = std::to_string(unit.paramWords);
        if (int(list.size()) != unit.paramWords)
            return fail(line, std::string(unit.name) + " takes " + count + " parameter word" +
                                  (unit.paramWords == 1 ? "" : "s") + ", not " + std::to_string(list.size()));
        for (size_t i = 0; i < list.size(); ++i) {
            const auto word = list[i]->as_integer();
            if (!word || word->get() < 0 || word->get() > 0xFFFF)
                return fail(line, "a parameter word is a whole number from 0 to 65535");
            node->params[i] = uint16_t(word->get());
        }
        return true;
    }

    bool parseNode(const std::string& name, const toml::node& value, int scope, Node* node) {
        node->name = name;
        node->scope = scope;
        node->line = sourceLine(value);
        node->shared = scope < 0;
        const auto* table = value.as_table();
        if (!table) return fail(node->line, "node '" + name + "' must be a table with a type");
        const auto type = (*table)["type"].value<std::string>();
        if (!type) return fail(node->line, "node '" + name + "' has no type");
        node->unit = unitByName(*type);
        if (!node->unit) return fail(node->line, "unknown unit type '" + *type + "'");
        if (!node->unit->placeable)
            return fail(node->line, *type + " nodes are not written by hand: the compiler places them "
                                            "(pools in channels, numbers as constants)");
        const UnitInfo& unit = *node->unit;
        const int roles = unitInputCount(unit);
        bool rawParams = false, fields = false;
        if (const auto* positional = table->get("inputs")) {
            const auto* array = positional->as_array();
            if (!array) return fail(sourceLine(*positional), "inputs must be a list");
            if (int(array->size()) > kUnitMaxInputs)
                return fail(sourceLine(*positional),
                            "a node takes at most 16 inputs, not " + std::to_string(array->size()));
            if (roles >= 0 && int(array->size()) != roles)
                return fail(sourceLine(*positional), unit.name + std::string(" takes ") +
                                                         std::to_string(roles) + " inputs, not " +
                                                         std::to_string(array->size()));
            for (const auto& item : *array) {
                const size_t k = node->inputs.size();
                node->inputs.emplace_back();
                const std::string role = roles >= 0 ? unit.inputs[k].name : "#" + std::to_string(k + 1);
                if (!parseInput(item, role, &node->inputs.back())) return false;
            }
        } else if (roles < 0) {
            return fail(node->line, unit.name + std::string(" takes its inputs as a list: inputs = [...]"));
        }
        for (auto&& [key, item] : *table) {
            const std::string k(key.str());
            if (k == "type" || k == "inputs") continue;
            if (k == "shared") {
                if (!item.is_boolean()) return fail(sourceLine(item), "shared must be true or false");
                node->shared = *item.value<bool>();
                continue;
            }
            if ((k == "params" || k == "param") && unit.paramWords > 0) {
                if (!parseRawParams(item, unit, node)) return false;
                rawParams = true;
                continue;
            }
            bool known = false;
            for (int r = 0; roles > 0 && r < roles; ++r) known = known || k == unit.inputs[r].name;
            if (known) {
                if (table->get("inputs"))
                    return fail(sourceLine(item), "inputs are given as a list or by name, not both");
                continue;
            }
            for (int f = 0; f < unit.fieldCount; ++f) {
                if (k != unit.fields[f].key) continue;
                if (!parseField(unit.fields[f], item, unit.name, node)) return false;
                known = fields = true;
            }
            if (!known)
                return fail(sourceLine(item), "unknown input or parameter '" + k + "' for " + unit.name);
        }
        if (rawParams && fields)
            return fail(node->line, "parameter words are given raw or by field, not both");
        if (!table->get("inputs")) {
            for (int r = 0; r < roles; ++r) {
                const toml::node* item = table->get(unit.inputs[r].name);
                if (!item) {
                    std::string all;
                    for (int k = 0; k < roles; ++k) all += std::string(k ? ", " : "") + unit.inputs[k].name;
                    return fail(node->line, unit.name + std::string(" takes ") + std::to_string(roles) +
                                                " inputs (" + all + "); '" + unit.inputs[r].name +
                                                "' is missing");
                }
                node->inputs.emplace_back();
                if (!parseInput(*item, unit.inputs[r].name, &node->inputs.back())) return false;
            }
        }
        return convertUnits(*node);
    }

    bool addName(std::map<std::string, int>& names, const std::string& name, int node, int line) {
        if (!names.emplace(name, node).second) return fail(line, "the name '" + name + "' is used twice");
        return true;
    }

    int addNode(Node node) {
        nodes.push_back(std::move(node));
        return int(nodes.size()) - 1;
    }

    bool parseChannels(const toml::table& root) {
        const toml::node* section = root.get("channels");
        if (section && !section->as_table()) return fail(sourceLine(*section), "channels must be a table");
        bool declared[kChannelCount] = {};
        std::vector<std::pair<std::string, const toml::node*>> entries;
        if (section) entries = entriesInOrder(*section->as_table());
        std::vector<std::pair<int, const toml::table*>> bodies(kChannelCount, {0, nullptr});
        for (auto& [name, value] : entries) {
            const auto* table = value->as_table();
            const int line = sourceLine(*value);
            if (!table) return fail(line, "channel '" + name + "' must be a table");
            const auto number = (*table)["number"].value<int64_t>();
            if (!number || *number < 0 || *number >= kChannelCount)
                return fail(line, "channel '" + name + "' needs a number from 0 to 15");
            if (declared[*number])
                return fail(line, "channel " + std::to_string(*number) + " is declared twice");
            declared[*number] = true;
            channels[*number].name = name;
            channels[*number].line = line;
            bodies[*number] = {line, table};
        }
        for (int c = 0; c < kChannelCount; ++c) {
            Channel& channel = channels[c];
            if (!declared[c]) channel.name = "ch" + std::to_string(c);
            const toml::table* table = bodies[c].second;
            Node output;
            output.unit = unitByType(int(UnitType::ChannelOutput));
            output.name = channel.name;
            output.line = channel.line;
            output.inputs.resize(2);
            output.inputs[0].kind = Input::Name;
            output.inputs[0].name = channel.name + ".pools";
            output.inputs[1].left = output.inputs[1].right = 1.0f;
            Node route;
            route.unit = unitByType(int(UnitType::Sum));
            route.name = channel.name + ".pools";
            route.line = channel.line;
            if (table) {
                for (auto&& [key, item] : *table) {
                    const std::string k(key.str());
                    if (k == "volume" || k == "signal") {
                        if (!parseInput(item, k, &output.inputs[k == "volume" ? 1 : 0])) return false;
                    } else if (k != "number" && k != "pools") {
                        return fail(sourceLine(item),
                                    "unknown key '" + k + "' in channel '" + channel.name + "'");
                    }
                }
                if (const toml::node* pools = table->get("pools")) {
                    const auto* list = pools->as_array();
                    if (!list) return fail(sourceLine(*pools), "pools must be a list of tables");
                    if (list->size() > size_t(kUnitMaxInputs))
                        return fail(sourceLine(*pools),
                                    "a channel holds at most 16 pools, not " + std::to_string(list->size()));
                    for (const auto& item : *list)
                        if (!parsePool(item, channel)) return false;
                }
            }
            if (!convertUnits(output)) return false;
            channel.output = addNode(output);
            if (!addName(globals, channel.name, channel.output, channel.line)) return false;
            channel.route = addNode(route);
            if (!addName(globals, route.name, channel.route, channel.line)) return false;
        }
        return true;
    }

    bool parsePool(const toml::node& value, Channel& channel) {
        const int line = sourceLine(value);
        const auto* table = value.as_table();
        if (!table) return fail(line, "a pool must be a table with an instrument");
        Node pool;
        pool.unit = unitByType(int(UnitType::VoicePool));
        pool.line = line;
        pool.name = channel.name + ".pool" + std::to_string(channel.pools.size());
        pool.inputs.resize(4);
        pool.inputs[0].kind = Input::Name;
        pool.params[0] = 0x7F00; // every note unless keys says otherwise
        bool raw = false;
        for (auto&& [key, item] : *table) {
            const std::string k(key.str());
            if (k == "instrument") {
                if (!item.is_string()) return fail(sourceLine(item), "instrument must be a name");
                pool.inputs[0].name = *item.value<std::string>();
                pool.inputs[0].line = sourceLine(item);
            } else if (k == "transpose" || k == "spare1" || k == "spare2") {
                if (!parseInput(item, k, &pool.inputs[k == "transpose" ? 1 : k == "spare1" ? 2 : 3]))
                    return false;
            } else if (k == "keys" || k == "voices") {
                if (k == "keys") pool.params[0] = 0;
                if (!parseField(pool.unit->fields[k == "keys" ? 0 : 1], item, "VoicePool", &pool))
                    return false;
            } else if (k == "params") {
                if (!parseRawParams(item, *pool.unit, &pool)) return false;
                raw = true;
            } else {
                return fail(sourceLine(item), "unknown key '" + k + "' in a pool");
            }
        }
        if (raw && (table->get("keys") || table->get("voices")))
            return fail(line, "parameter words are given raw or by field, not both");
        if (pool.inputs[0].name.empty()) return fail(line, "a pool needs an instrument");
        if (!convertUnits(pool)) return false;
        channel.pools.push_back(addNode(pool));
        return true;
    }

    bool parseInstruments(const toml::table& root) {
        const toml::node* section = root.get("instruments");
        if (!section) return true;
        if (!section->as_table()) return fail(sourceLine(*section), "instruments must be a table");
        for (auto& [name, value] : entriesInOrder(*section->as_table())) {
            const int number = int(instruments.size());
            instruments.push_back({name, sourceLine(*value), {}, false});
            locals.emplace_back();
            const auto* table = value->as_table();
            if (!table || table->empty())
                return fail(sourceLine(*value), "instrument '" + name + "' must be a table of nodes");
            for (auto& [nodeName, nodeValue] : entriesInOrder(*table)) {
                Node node;
                if (!parseNode(nodeName, *nodeValue, number, &node)) return false;
                const int id = addNode(node);
                instruments[number].nodes.push_back(id);
                if (!addName(locals[number], nodeName, id, node.line)) return false;
            }
        }
        return true;
    }

    // Record order and word indices; false when the records do not fit below the constants.
    bool place() {
        int next = 0;
        auto put = [&](int id) {
            Node& node = nodes[id];
            node.index = next;
            next += 1 + int(node.inputs.size()) + node.unit->paramWords;
            order.push_back(id);
            if (next > kFirstConstantIndex)
                return fail(node.line,
                            "the node records need more than 1536 words (this one would end at word " +
                                std::to_string(next - 1) + ")");
            return true;
        };
        for (int id = 0; id < int(nodes.size()); ++id)
            if (nodes[id].name == "master" && nodes[id].scope < 0 && !put(id)) return false;
        for (int c = 0; c < kChannelCount; ++c)
            if (!put(channels[c].output)) return false;
        for (int c = 0; c < kChannelCount; ++c) {
            Node& route = nodes[channels[c].route];
            for (int pool : channels[c].pools) {
                Input input;
                input.kind = Input::Name;
                input.index = -2 - pool; // resolved after placing
                route.inputs.push_back(input);
            }
            if (!put(channels[c].route)) return false;
        }
        for (int id = 0; id < int(nodes.size()); ++id) {
            const Node& node = nodes[id];
            if (node.scope < 0 && node.index < 0 && node.unit->type != int(UnitType::VoicePool) && !put(id))
                return false;
        }
        for (int c = 0; c < kChannelCount; ++c) {
            for (int pool : channels[c].pools) {
                if (!put(pool)) return false;
                Input& root = nodes[pool].inputs[0];
                int instrument = -1;
                for (int i = 0; i < int(instruments.size()); ++i)
                    if (instruments[i].name == root.name) instrument = i;
                if (instrument < 0) return fail(root.line, "unknown instrument '" + root.name + "'");
                nodes[pool].instrument = instrument;
                if (instruments[instrument].placed) continue;
                instruments[instrument].placed = true;
                const Node& voiceRoot = nodes[instruments[instrument].nodes.front()];
                if (voiceRoot.shared)
                    return fail(voiceRoot.line, "'" + voiceRoot.name + "', the first node of instrument '" +
                                                    instruments[instrument].name +
                                                    "', is its voice root: it cannot be shared");
                for (int id : instruments[instrument].nodes)
                    if (!put(id)) return false;
            }
        }
        return true;
    }

    bool constantIndex(Input& input) {
        if (input.kind == Input::Mono) {
            const uint32_t key = std::bit_cast<uint32_t>(input.left);
            auto found = mono.find(key);
            if (found == mono.end()) {
                if (int(mono.size()) == kMonoConstants)
                    return fail(input.line, "more than 130 different mono constants");
                const int index = kFirstConstantIndex + 2 * int(mono.size());
                found = mono.emplace(key, index).first;
                (*words)[index] = uint16_t(key);
                (*words)[index + 1] = uint16_t(key >> 16);
            }
            input.index = found->second;
            return true;
        }
        const uint64_t key =
            std::bit_cast<uint32_t>(input.left) | uint64_t(std::bit_cast<uint32_t>(input.right)) << 32;
        auto found = stereo.find(key);
        if (found == stereo.end()) {
            if (int(stereo.size()) == kStereoConstants)
                return fail(input.line, "more than 11 different stereo constants");
            const int index = kFirstStereoConstantIndex + 4 * int(stereo.size());
            found = stereo.emplace(key, index).first;
            for (int w = 0; w < 4; ++w) (*words)[index + w] = uint16_t(key >> (16 * w));
        }
        input.index = found->second;
        return true;
    }

    bool resolve() {
        for (int id : order) {
            Node& node = nodes[id];
            for (size_t k = 0; k < node.inputs.size(); ++k) {
                Input& input = node.inputs[k];
                if (input.kind != Input::Name) {
                    if (!constantIndex(input)) return false;
                    continue;
                }
                int target = -1;
                if (input.index <= -2) {
                    target = -2 - input.index;
                } else if (node.instrument >= 0 && k == 0) {
                    target = instruments[node.instrument].nodes.front();
                } else {
                    if (node.scope >= 0) {
                        auto local = locals[node.scope].find(input.name);
                        if (local != locals[node.scope].end()) target = local->second;
                    }
                    auto global = globals.find(input.name);
                    if (target < 0 && global != globals.end()) target = global->second;
                    if (target < 0) return fail(input.line, "unknown node '" + input.name + "'");
                    if (nodes[target].index < 0)
                        return fail(input.line,
                                    "node '" + input.name + "' belongs to an instrument no pool plays");
                }
                input.index = nodes[target].index;
                if (node.shared && !nodes[target].shared && !(node.instrument >= 0 && k == 0))
                    return fail(input.line, "shared node '" + node.name +
                                                "' cannot take the per-voice node '" + nodes[target].name +
                                                "'");
            }
        }
        return true;
    }

    // Loops must be closed by a delay unit or by an input marked '~' (one sample late).
    bool checkCycles() {
        std::map<int, int> byIndex;
        for (int id : order) byIndex[nodes[id].index] = id;
        std::vector<int> state(nodes.size(), 0), stack;
        for (int start : order) {
            if (state[start]) continue;
            // Iterative depth-first search: (node, next input) pairs.
            std::vector<std::pair<int, size_t>> walk{{start, 0}};
            state[start] = 1;
            while (!walk.empty()) {
                auto& [id, k] = walk.back();
                const Node& node = nodes[id];
                const bool delay =
                    node.unit->type == int(UnitType::Delay) || node.unit->type == int(UnitType::EchoDelay);
                if (delay || k >= node.inputs.size()) {
                    state[id] = 2;
                    walk.pop_back();
                    continue;
                }
                const Input& input = node.inputs[k++];
                if (input.feedback || input.index >= kFirstConstantIndex) continue;
                const int next = byIndex[input.index];
                if (state[next] == 1) {
                    std::string path = nodes[next].name;
                    bool inLoop = false;
                    for (auto& step : walk) {
                        inLoop = inLoop || step.first == next;
                        if (inLoop && step.first != next) path += " -> " + nodes[step.first].name;
                    }
                    return fail(input.line, "the loop " + path + " -> " + nodes[next].name +
                                                " is not broken by a delay (write '~" + input.name +
                                                "' to take its previous sample)");
                }
                if (state[next] == 0) {
                    state[next] = 1;
                    walk.push_back({next, 0});
                }
            }
        }
        return true;
    }

    bool reaches(int from, int target) {
        std::map<int, int> byIndex;
        for (int id : order) byIndex[nodes[id].index] = id;
        std::vector<int> seen(nodes.size(), 0), todo{from};
        while (!todo.empty()) {
            const int id = todo.back();
            todo.pop_back();
            if (id == target) return true;
            if (seen[id]) continue;
            seen[id] = 1;
            for (const Input& input : nodes[id].inputs)
                if (input.index >= 0 && input.index < kFirstConstantIndex)
                    todo.push_back(byIndex[input.index]);
        }
        return false;
    }

    void write() {
        for (int id : order) {
            const Node& node = nodes[id];
            int w = node.index;
            (*words)[w++] = recordHeader(node.unit->type, int(node.inputs.size()), node.shared);
            for (const Input& input : node.inputs) (*words)[w++] = uint16_t(input.index);
            for (int p = 0; p < node.unit->paramWords; ++p) (*words)[w++] = node.params[p];
        }
    }

    bool run(const toml::table& root) {
        for (auto&& [key, value] : root) {
            const std::string k(key.str());
            if (k != "master" && k != "channels" && k != "nodes" && k != "instruments")
                return fail(sourceLine(value), "unknown section '" + k +
                                                   "' (a patch has master, channels, nodes "
                                                   "and instruments)");
        }
        const toml::node* master = root.get("master");
        if (!master) return fail(1, "the patch has no master node");
        Node node;
        if (!parseNode("master", *master, -1, &node)) return false;
        if (node.inputs.size() != 2 || node.unit->paramWords != 0)
            return fail(node.line,
                        "the master node must take two inputs and no parameter words (it fills words 0-2)");
        node.shared = true;
        if (!addName(globals, "master", addNode(node), node.line)) return false;
        if (!parseChannels(root)) return false;
        if (const toml::node* shared = root.get("nodes")) {
            if (!shared->as_table()) return fail(sourceLine(*shared), "nodes must be a table");
            for (auto& [name, value] : entriesInOrder(*shared->as_table())) {
                Node sharedNode;
                if (!parseNode(name, *value, -1, &sharedNode)) return false;
                if (!addName(globals, name, addNode(sharedNode), sharedNode.line)) return false;
            }
        }
        if (!parseInstruments(root) || !place() || !resolve() || !checkCycles()) return false;
        for (const Channel& channel : channels)
            if (!reaches(channel.output, channel.route))
                return fail(channel.line, "channel '" + channel.name + "': its signal must lead to '" +
                                              channel.name + ".pools', so that a note wakes its pools");
        write();
        return true;
    }
};

} // namespace

bool compilePatch(const std::string& text, const std::string& path, std::vector<uint16_t>* words,
                  std::string* error) {
    toml::parse_result parsed;
    if (!parseSource(text, path, &parsed, error)) return false;
    words->assign(kPatchWordCount, 0);
    PatchCompiler compiler;
    compiler.path = path;
    compiler.error = error;
    compiler.words = words;
    return compiler.run(parsed.table());
}
