// The unit types as the music sources name them: type names, input roles and readable
// parameter fields. One table; the patch compiler, the dump and the docs read it.
//
// Adding a unit type that patches may use: add one row to kUnitCatalogue in unit_catalogue.cpp
// with its number (as in src/synth/unit_table.h), its name, its input roles in record order
// (each with the unit its values may be written in; a list ended by {nullptr}, or nullptr for
// types taking 0 to 16 inputs) and its parameter fields.
#pragma once

#include "songc/value_units.h"

#include <cstdint>
#include <string>

// An input's role: its name in the source and the unit its numbers may be written in.
struct InputRole {
    const char* name;
    ValueUnit unit = ValueUnit::None;
};

// How a field of a parameter word reads in a source.
enum class FieldKind {
    Choice,   // a name from `names` (index = stored value; nullptr entries are not nameable)
    Flag,     // true/false, one bit
    Number,   // an integer stored as value - offset
    Sections, // a section or stage count: 1 stored as 0, 2k stored as k
    KeyRange, // a note or a range of notes "C2..C7": low note in bits 0-7, high in 8-15
    Voices,   // 64, 32, 16 or 8 voices, stored as 0..3
};

struct ParamField {
    const char* key;
    int word;  // which parameter word (0 or 1)
    int shift; // lowest bit
    int width; // bits
    FieldKind kind;
    const char* const* names; // Choice: names by value, nameCount of them
    int nameCount;
    int offset; // Number: the stored value is value - offset
};

inline constexpr int kMaxFields = 6;

struct UnitInfo {
    int type;
    const char* name;
    const InputRole* inputs; // roles in record order, ended by a null name; nullptr: variadic
    int paramWords;
    ParamField fields[kMaxFields];
    int fieldCount;
    bool placeable; // false for the types the compiler places itself (pools, channel outputs, constants)
};

// The row of a type number or a name; nullptr when there is none.
const UnitInfo* unitByType(int type);
const UnitInfo* unitByName(const std::string& name);
// Number of input roles; -1 for variadic types.
int unitInputCount(const UnitInfo& unit);
// The readable fields of one parameter word: encodes `value` of field f into word bits.
uint16_t fieldBits(const ParamField& field, int value);
// The value stored in `words` for the field; false when it cannot be shown readably.
bool fieldValue(const ParamField& field, const uint16_t* words, int* value);
