// toml++ as the compiler uses it: without exceptions, results checked by hand.
#pragma once

#define TOML_EXCEPTIONS 0
#define TOML_ENABLE_FORMATTERS 0
#include <toml++/toml.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

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
