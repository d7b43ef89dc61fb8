#include "songc/toml_support.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The most dots one dotted key or table name may hold.
constexpr int kMaxKeyDots = 256;

// Where the scan is in TOML's grammar: what may come next.
enum class Expect { Key, AfterKey, Value, AfterValue };

// The open brackets around the scan: an array, an inline table or a table header.
enum class Bracket : char { Array, InlineTable, Header };

bool isBareKeyCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

// A character of a bare value (number, date, boolean), which ends at what may follow a value.
bool isBareValueCharacter(char c) {
    return c > ' ' && c < 0x7F && c != ',' && c != ']' && c != '}' && c != '#';
}

// The text handed to toml++: the source with every character outside ASCII written as an escape
// inside basic strings, a literal string holding one turned into the basic string of the same
// value, and such a character in a comment replaced by '?'. toml++ then never meets one, however
// the source quotes. Lines stay where they are, so its messages name the source's lines.
struct Transcoder {
    const std::string& text;
    std::string out;
    size_t at = 0;
    int line = 1;
    std::string problem;

    // The code point of the UTF-8 sequence at `at`, moving past it; false (with the problem)
    // when the bytes are not UTF-8.
    bool decode(char32_t* point) {
        const auto byte = [&](size_t i) { return i < text.size() ? uint8_t(text[i]) : uint8_t(0); };
        const uint8_t lead = byte(at);
        const int length = lead >= 0xF0 && lead <= 0xF4  ? 4
                           : lead >= 0xE0                ? 3
                           : lead >= 0xC2 && lead < 0xE0 ? 2
                                                         : 0;
        char32_t value = length == 4 ? lead & 0x07u : length == 3 ? lead & 0x0Fu : lead & 0x1Fu;
        for (int i = 1; i < length; ++i) {
            if ((byte(at + size_t(i)) & 0xC0) != 0x80) return badByte(lead);
            value = value << 6 | (byte(at + size_t(i)) & 0x3Fu);
        }
        // Overlong forms, UTF-16 surrogates and values past U+10FFFF are no characters.
        const char32_t least = length == 4 ? 0x10000 : length == 3 ? 0x800 : 0x80;
        if (length == 0 || value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return badByte(lead);
        at += size_t(length);
        *point = value;
        return true;
    }

    bool badByte(uint8_t byte) {
        char text[64];
        std::snprintf(text, sizeof text, "byte 0x%02X is not part of a UTF-8 character", byte);
        problem = text;
        return false;
    }

    // "U+00E9 'é'", the character as written where it prints.
    std::string name(char32_t point, size_t from) const {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", unsigned(point));
        return point >= 0xA0 ? std::string(code) + " '" + text.substr(from, at - from) + "'" : code;
    }

    bool refuse(const std::string& why) {
        problem = why;
        return false;
    }

    // The character outside ASCII at `at` as a string escape.
    bool escape() {
        char32_t point = 0;
        if (!decode(&point)) return false;
        char code[16];
        std::snprintf(code, sizeof code, point > 0xFFFF ? "\\U%08X" : "\\u%04X", unsigned(point));
        out += code;
        return true;
    }

    bool isAscii() const { return uint8_t(text[at]) < 0x80; }

    bool startsWith(const char* token) const { return text.compare(at, std::strlen(token), token) == 0; }

    // A comment, up to the end of its line.
    bool comment() {
        while (at < text.size() && text[at] != '\n') {
            if (isAscii()) {
                out += text[at++];
                continue;
            }
            char32_t point = 0;
            if (!decode(&point)) return false;
            out += '?';
        }
        return true;
    }

    // A basic string from its opening quote; escapes are copied as they stand.
    bool basicString() {
        const bool multi = startsWith("\"\"\"");
        out.append(multi ? 3 : 1, '"');
        at += multi ? 3 : 1;
        while (at < text.size()) {
            const char c = text[at];
            if (multi ? startsWith("\"\"\"") : c == '"') break;
            if (!multi && c == '\n') return true; // cut short: toml++ says so
            if (c == '\\' && at + 1 < text.size()) {
                if (uint8_t(text[at + 1]) >= 0x80) {
                    const size_t from = ++at;
                    char32_t point = 0;
                    if (!decode(&point)) return false;
                    return refuse("a backslash before " + name(point, from) + " is no escape");
                }
                line += text[at + 1] == '\n';
                out.append(text, at, 2);
                at += 2;
                continue;
            }
            if (!isAscii()) {
                if (!escape()) return false;
                continue;
            }
            line += c == '\n';
            out += c;
            ++at;
        }
        closeString('"', multi);
        return true;
    }

    // A literal string from its opening quote. Holding a character outside ASCII, it becomes the
    // basic string of the same value; otherwise it stays as it is.
    bool literalString() {
        const bool multi = startsWith("'''");
        const size_t open = at + (multi ? 3 : 1);
        size_t close = open;
        bool plain = true;
        while (close < text.size() && !(multi ? text.compare(close, 3, "'''") == 0 : text[close] == '\'') &&
               (multi || text[close] != '\n'))
            plain &= uint8_t(text[close++]) < 0x80;
        if (plain) {
            for (; at < close; ++at) {
                line += text[at] == '\n';
                out += text[at];
            }
            closeString('\'', multi);
            return true;
        }
        out.append(multi ? 3 : 1, '"');
        for (at = open; at < close;) {
            const char c = text[at];
            if (!isAscii()) {
                if (!escape()) return false;
                continue;
            }
            if (c == '\\' || c == '"') out += '\\';
            line += c == '\n';
            out += c;
            ++at;
        }
        if (at < text.size() && text[at] == '\'') {
            // Up to two quotes before the closing three belong to a multi-line string.
            size_t quotes = 0;
            while (at + quotes < text.size() && text[at + quotes] == '\'') ++quotes;
            const size_t kept = multi ? (quotes > 5 ? 5 : quotes) - 3 : 0;
            out.append(kept, '\'');
            out.append(multi ? 3 : 1, '"');
            at += kept + (multi ? 3 : 1);
        }
        return true;
    }

    // The closing quotes at `at`, with the up to two quotes a multi-line string may end in.
    void closeString(char quote, bool multi) {
        size_t quotes = 0;
        while (at + quotes < text.size() && text[at + quotes] == quote) ++quotes;
        const size_t taken = multi ? (quotes > 5 ? 5 : quotes) : (quotes > 0 ? 1 : 0);
        out.append(taken, quote);
        at += taken;
    }

    bool run() {
        std::vector<Bracket> open;
        Expect expect = Expect::Key;
        int dots = 0;
        // A leading byte-order mark is no character of the text.
        if (startsWith("\xEF\xBB\xBF")) at = 3;
        while (at < text.size()) {
            const char c = text[at];
            if (!isAscii()) {
                const size_t from = at;
                char32_t point = 0;
                if (!decode(&point)) return false;
                return refuse("the character " + name(point, from) + " stands outside a string or comment");
            }
            const bool inArray = !open.empty() && open.back() == Bracket::Array;
            if (c == '\n') {
                ++line;
                // A line ends a key-value pair, except inside an array.
                if (!inArray) {
                    expect = open.empty() || open.back() == Bracket::Header ? Expect::Key : expect;
                    if (!open.empty() && open.back() == Bracket::Header) open.pop_back();
                    dots = 0;
                }
            } else if (c == '#') {
                if (!comment()) return false;
                continue;
            } else if ((c == '"' || c == '\'') && (expect == Expect::Key || expect == Expect::Value)) {
                if (!(c == '"' ? basicString() : literalString())) return false;
                expect = expect == Expect::Key ? Expect::AfterKey : Expect::AfterValue;
                continue;
            } else if (expect == Expect::Key && c == '[' && open.empty()) {
                open.push_back(Bracket::Header);
                if (startsWith("[[")) out += text[at++];
            } else if (expect == Expect::Key && isBareKeyCharacter(c)) {
                while (at < text.size() && isBareKeyCharacter(text[at])) out += text[at++];
                expect = Expect::AfterKey;
                continue;
            } else if (expect == Expect::AfterKey && c == '.') {
                // toml++ nests a table per part of a dotted key and frees them recursively, so a
                // key of a few hundred thousand parts would overflow the stack.
                if (++dots > kMaxKeyDots) return refuse("a key of more than 256 dotted parts");
                expect = Expect::Key;
            } else if (expect == Expect::AfterKey && c == '=') {
                expect = Expect::Value;
                dots = 0;
            } else if (expect == Expect::Value && c == '[') {
                open.push_back(Bracket::Array);
            } else if (expect == Expect::Value && c == '{') {
                open.push_back(Bracket::InlineTable);
                expect = Expect::Key;
            } else if (expect == Expect::Value && isBareValueCharacter(c)) {
                // A number, date or boolean; a quote inside it starts no string.
                while (at < text.size() && isBareValueCharacter(text[at])) out += text[at++];
                expect = Expect::AfterValue;
                continue;
            } else if ((c == ']' || c == '}') && !open.empty() &&
                       open.back() == (c == '}'  ? Bracket::InlineTable
                                       : inArray ? Bracket::Array
                                                 : Bracket::Header)) {
                if (open.back() == Bracket::Header && startsWith("]]")) out += text[at++];
                open.pop_back();
                expect = Expect::AfterValue;
                dots = 0;
            } else if (c == ',' && !open.empty() && open.back() != Bracket::Header) {
                expect = open.back() == Bracket::Array ? Expect::Value : Expect::Key;
            }
            // Anything else (spaces, and what TOML does not allow, which toml++ reports) leaves
            // the place in the grammar as it is.
            out += c;
            ++at;
        }
        return true;
    }
};

} // namespace

std::string asciiSource(const std::string& text, std::string* ascii, int* line) {
    Transcoder transcoder{text, {}, 0, 1, {}};
    transcoder.out.reserve(text.size());
    const bool done = transcoder.run();
    *line = transcoder.line;
    *ascii = done ? std::move(transcoder.out) : std::string();
    return done ? "" : transcoder.problem;
}

bool parseSource(const std::string& text, const std::string& path, toml::parse_result* parsed,
                 std::string* error) {
    std::string ascii;
    int line = 0;
    if (const std::string problem = asciiSource(text, &ascii, &line); !problem.empty()) {
        *error = path + ":" + std::to_string(line) + ": " + problem;
        return false;
    }
    *parsed = toml::parse(ascii, path);
    if (*parsed) return true;
    const toml::parse_error& failure = parsed->error();
    *error =
        path + ":" + std::to_string(failure.source().begin.line) + ": " + std::string(failure.description());
    return false;
}
