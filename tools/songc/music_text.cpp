#include "songc/music_text.h"

#include <cstdio>
#include <cstdlib>

namespace {
const char* const kNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
const int kLetterSemitone[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
} // namespace

bool parseInteger(std::string_view text, long long* value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    long long result = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        result = result * 10 + (text[i] - '0');
        if (result > 0x7FFFFFFF) return false;
    }
    *value = negative ? -result : result;
    return true;
}

bool parseNote(std::string_view text, int* note) {
    long long number = 0;
    if (parseInteger(text, &number)) {
        if (number < 0 || number > 127) return false;
        *note = int(number);
        return true;
    }
    if (text.empty()) return false;
    char letter = text[0];
    if (letter >= 'a' && letter <= 'g') letter = char(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'G') return false;
    int semitone = kLetterSemitone[letter - 'A'];
    size_t i = 1;
    if (i < text.size() && text[i] == '#')
        ++semitone, ++i;
    else if (i < text.size() && text[i] == 'b')
        --semitone, ++i;
    long long octave = 0;
    if (!parseInteger(text.substr(i), &octave) || octave < -1 || octave > 9) return false;
    const long long value = (octave + 1) * 12 + semitone;
    if (value < 0 || value > 127) return false;
    *note = int(value);
    return true;
}

std::string noteName(int note) {
    return std::string(kNames[note % 12]) + std::to_string(note / 12 - 1);
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string floatText(float value) {
    char text[48];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, double(value));
        if (std::strtof(text, nullptr) == value) break;
    }
    std::string out = text;
    // TOML floats need a point or an exponent.
    if (out.find_first_of(".einf") == std::string::npos) out += ".0";
    return out;
}
