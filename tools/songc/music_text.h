// Small texts of the music sources: note names and numbers.
#pragma once

#include <string>
#include <string_view>

// "C4" is 60, "A4" 69, "C-1" 0, "G9" 127; sharps '#' and flats 'b' ("F#3", "Bb2"). Also accepts
// a plain note number ("60"). False when the text is no note from 0 to 127.
bool parseNote(std::string_view text, int* note);
// The name of a note number 0..127, sharps for black keys ("C#4").
std::string noteName(int note);
// A whole decimal number, optional sign; false on anything else or overflow of int.
bool parseInteger(std::string_view text, long long* value);
// Quotes a string for TOML.
std::string quoted(const std::string& text);
// The shortest decimal that reads back as the same float.
std::string floatText(float value);
