// toml++ as the compiler uses it: without exceptions, results checked by hand.
#pragma once

#define TOML_EXCEPTIONS 0
#define TOML_ENABLE_FORMATTERS 0
#include <toml++/toml.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

// The source as toml++ is given it, in *ascii: every character outside ASCII in a string written
// as its escape (a literal string holding one becomes the basic string of the same value), one in
// a comment replaced by '?', so toml++ only ever reads ASCII. (Its test for non-ASCII whitespace
// reaches __builtin_unreachable on many characters, wherever its scanner meets them, and the
// scanner meets them where a quote starts no string as well.) Returns "" or why the text cannot be
// given to toml++, with its line in *line: a character outside ASCII outside a string or comment
// or after a backslash, bytes that are not UTF-8, a dotted key of more than 256 parts (toml++
// nests and frees those recursively). Lines stay where they are in the source.
std::string asciiSource(const std::string& text, std::string* ascii, int* line);

// toml::parse of asciiSource: false with "path:line: message" in *error.
bool parseSource(const std::string& text, const std::string& path, toml::parse_result* parsed,
                 std::string* error);

inline int sourceLine(const toml::node& node) {
    return int(node.source().begin.line);
}

// A table's entries in the order they are written (toml++ keeps them sorted by key).
inline std::vector<std::pair<std::string, const toml::node*>> entriesInOrder(const toml::table& table) {
    std::vector<std::pair<toml::source_position, std::pair<std::string, const toml::node*>>> entries;
    for (auto&& [key, value] : table)
        entries.push_back({key.source().begin, {std::string(key.str()), &value}});
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return a.first.line != b.first.line ? a.first.line < b.first.line : a.first.column < b.first.column;
    });
    std::vector<std::pair<std::string, const toml::node*>> out;
    for (auto& entry : entries) out.push_back(entry.second);
    return out;
}
