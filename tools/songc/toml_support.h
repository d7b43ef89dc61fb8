// toml++ as the compiler uses it: without exceptions, results checked by hand.
#pragma once

#define TOML_EXCEPTIONS 0
#define TOML_ENABLE_FORMATTERS 0
#include <toml++/toml.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

// The line of the first character outside ASCII that toml++ would stumble on, or 0 when there is
// none. toml++ 3 reaches __builtin_unreachable when it asks whether some of them (U+00A1 to
// U+0499, U+2D2E to U+3127) are whitespace, which it does outside strings and comments and after
// a backslash in a multi-line basic string. TOML allows none outside strings and comments.
// Also the line of a dotted key or table name with more than 256 dots, which toml++ would nest
// (and free) recursively.
int unreadableSourceLine(const std::string& text);

// toml::parse behind that check: false with "path:line: message" in *error.
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
