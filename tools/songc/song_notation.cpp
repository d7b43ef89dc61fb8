#include "songc/song_notation.h"

#include "songc/music_text.h"

#include <algorithm>

namespace {

// Far past the last sequencer tick at any tempo and grid a song allows; the bound keeps the
// sums of lengths, and their products with kSubTicks, inside 64 bits.
constexpr int64_t kLongestPattern = int64_t(1) << 40;
constexpr long long kMostRepeats = 1000;

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',' || c == '|';
}

// Digits from text[*i] on as a whole number; *i ends after them.
bool digitsAt(std::string_view text, size_t* i, long long* number) {
    size_t end = *i;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    const bool ok = parseInteger(text.substr(*i, end - *i), number);
    *i = end;
    return ok;
}

} // namespace

bool parseLength(std::string_view text, size_t* i, int64_t ticksPerBeat, int64_t* ticks, std::string* why) {
    const char mark = *i < text.size() ? text[(*i)++] : '\0';
    long long number = 0;
    if ((mark != '/' && mark != ':') || !digitsAt(text, i, &number) || number <= 0) {
        *why = "a length is /N (a note value) or :T (ticks)";
        return false;
    }
    int64_t length = number;
    if (mark == '/') {
        length = 4 * ticksPerBeat;
        if (length % number) {
            *why = "/" + std::to_string(number) + " is not a whole number of ticks at " +
                   std::to_string(ticksPerBeat) + " ticks per beat";
            return false;
        }
        length /= number;
        if (*i < text.size() && text[*i] == '.') {
            ++*i;
            if (length % 2) {
                *why = "the dotted length is not a whole number of ticks";
                return false;
            }
            length += length / 2;
        }
    }
    if (*i < text.size() && text[*i] == '*') {
        ++*i;
        long long count = 0;
        if (!digitsAt(text, i, &count) || count < 1 || count > kMostRepeats) {
            *why = "a length times N takes N from 1 to 1000";
            return false;
        }
        length *= count;
    }
    *ticks = length;
    return true;
}

bool parseArticulation(bool isNumber, double number, const std::string& text, int64_t ticksPerBeat,
                       Articulation* articulation, std::string* why) {
    const char* const kForms = "articulation is a fraction of each note's length (above 0, at most 1), "
                               "a length each note sounds (\"/16\") or a gap before each note's end "
                               "(\"-/32\")";
    if (isNumber) {
        const int64_t millionths = int64_t(number * double(kSubTicks) + 0.5);
        if (!(number > 0.0 && number <= 1.0) || millionths < 1) {
            *why = kForms;
            return false;
        }
        *articulation = {Articulation::Fraction, millionths};
        return true;
    }
    const bool gap = !text.empty() && text[0] == '-';
    size_t i = gap ? 1 : 0;
    int64_t ticks = 0;
    if (!parseLength(text, &i, ticksPerBeat, &ticks, why) || i != text.size()) {
        *why = kForms;
        return false;
    }
    *articulation = {gap ? Articulation::Gap : Articulation::Fixed, ticks};
    return true;
}

int64_t soundingLength(const Articulation& articulation, int64_t length) {
    switch (articulation.kind) {
    case Articulation::Fraction:
        return length * articulation.amount;
    case Articulation::Fixed:
        return articulation.amount * kSubTicks;
    case Articulation::Gap:
        return std::max<int64_t>(0, length - articulation.amount) * kSubTicks;
    default:
        return length * kSubTicks;
    }
}

bool parsePatternNotes(const std::string& s, int firstLine, int64_t ticksPerBeat, Pattern* pattern,
                       NotationError* error) {
    auto fail = [&](int line, const std::string& message) {
        *error = {line, message};
        return false;
    };
    int64_t at = 0, length = ticksPerBeat;
    int velocity = 100;
    // Lines are counted forward as the tokens are read: one pass however many there are.
    int line = firstLine;
    size_t counted = 0;
    size_t start = 0;
    while (start < s.size()) {
        if (isSeparator(s[start])) {
            ++start;
            continue;
        }
        size_t end = start;
        while (end < s.size() && !isSeparator(s[end])) ++end;
        const std::string token = s.substr(start, end - start);
        for (; counted < start; ++counted) line += s[counted] == '\n';
        start = end;
        if (token.rfind("cc", 0) == 0) {
            const size_t equals = token.find('=');
            long long controller = -1, number = -1;
            if (equals == std::string::npos || !parseInteger(token.substr(2, equals - 2), &controller) ||
                !parseInteger(token.substr(equals + 1), &number) || controller < 0 || controller > 127 ||
                number < 0 || number > 255)
                return fail(line, "'" + token + "': a controller value is ccN=V (N 0 to 127, V 0 to 255)");
            pattern->controls.push_back({at, int(controller), int(number), line});
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
                std::string why;
                if (!parseLength(token, &i, ticksPerBeat, &length, &why))
                    return fail(line, "'" + token + "': " + why);
            } else if (token[i] == '@') {
                long long v = 0;
                ++i;
                if (!digitsAt(token, &i, &v) || v < 1 || v > 127)
                    return fail(line, "'" + token + "': a velocity is @1 to @127");
                velocity = int(v);
            } else if (token[i] == '&' && i + 1 == token.size() && !chord.empty()) {
                hold = true;
                ++i;
            } else {
                return fail(line, "'" + token + "' is no note, rest or controller value");
            }
        }
        for (int note : chord) pattern->notes.push_back({at, length, note, velocity, line});
        if (!hold) at += length;
        if (at > kLongestPattern) return fail(line, "the pattern is longer than any song can be");
    }
    pattern->length = at;
    for (const PatternNote& note : pattern->notes) pattern->length = std::max(pattern->length, note.at);
    return true;
}
