// Musical units in the patch source: an input may be written "-12 st", "8 cents", "40 ms",
// "0.5 s" or "-6 dB" where its role has a unit, and the compiler stores the number the
// synthesizer reads; the dump writes a unit back where it reads back to the same number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What a number of an input means, by the input's role (the unit catalogue's table).
enum class ValueUnit {
    None,
    Pitch,        // 1/128 per semitone: st or cents (oscillator and pool transpose)
    FineTune,     // 1/128 per cent: cents or st (oscillator fine tune)
    Time,         // an envelope segment, through the envelope's time curve: s or ms
    Gain,         // a factor: dB
    Level,        // the level curve, 0.75 for unity and 6/128 a doubling: dB
    EnvelopeGain, // Gain, or Level when the envelope's level_gain flag (bit 7) is set
};

// Whether `text` is meant as a number with a unit rather than a node name: it starts with a
// digit, a sign or a point.
bool looksLikeUnitValue(std::string_view text);

// The stored value of `text` ("-12 st") for an input of `unit`; `flags` is the node's first
// parameter word. False with the reason in *why (a wrong unit, a value the unit cannot
// take, a result that is no finite float).
bool unitValue(ValueUnit unit, uint16_t flags, std::string_view text, float* value, std::string* why);

// `value` written with the unit, in at most six significant digits, when that text reads back
// to exactly `value`; "" when no such text does.
std::string unitText(ValueUnit unit, uint16_t flags, float value);
