#include "songc/toml_support.h"

namespace {

// The most dots one dotted key or table name may hold.
constexpr int kMaxKeyDots = 256;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isAscii(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}

} // namespace

int unreadableSourceLine(const std::string& text) {
    const size_t n = text.size();
    int line = 1, dots = 0;
    size_t i = 0;
    auto skipTo = [&](size_t stop) {
        for (; i < stop && i < n; ++i) line += text[i] == '\n';
    };
    while (i < n) {
        const char c = text[i];
        if (!isAscii(c)) return line;
        if (c == '#') {
            while (i < n && text[i] != '\n') ++i;
        } else if (c == '\'') { // literal strings have no escapes
            const std::string close = text.compare(i, 3, "'''") == 0 ? "'''" : "'";
            i += close.size();
            const size_t end = text.find(close, i);
            skipTo(end == std::string::npos ? n : end + close.size());
        } else if (c == '"') {
            const bool multi = text.compare(i, 3, "\"\"\"") == 0;
            i += multi ? 3 : 1;
            while (i < n && !(multi ? text.compare(i, 3, "\"\"\"") == 0 : text[i] == '"')) {
                if (!multi && text[i] == '\n') break; // cut short: toml++ reports it
                if (text[i] != '\\') {
                    skipTo(i + 1);
                    continue;
                }
                ++i;
                // In a multi-line string toml++ asks whether the character after a backslash,
                // and after the whitespace a line-ending backslash skips, is whitespace.
                if (multi && i < n && isSpace(text[i])) {
                    while (i < n && isSpace(text[i])) skipTo(i + 1);
                    if (i < n && !isAscii(text[i])) return line;
                    continue;
                }
                if (multi && i < n && !isAscii(text[i])) return line;
                if (i < n && text[i] != '\n') ++i; // the escaped character
            }
            if (i < n && text[i] == '"') i += multi ? 3 : 1;
        } else {
            // The dots of one dotted key or table name: toml++ nests a table per part and frees
            // them recursively, so a key of a few hundred thousand parts overflows the stack.
            dots = c == '.' ? dots + 1 : c == '=' || c == ']' || c == ',' || c == '\n' ? 0 : dots;
            if (dots > kMaxKeyDots) return line;
            skipTo(i + 1);
        }
    }
    return 0;
}

bool parseSource(const std::string& text, const std::string& path, toml::parse_result* parsed,
                 std::string* error) {
    if (const int line = unreadableSourceLine(text)) {
        *error = path + ":" + std::to_string(line) +
                 ": a character outside ASCII outside a string or comment, or after a backslash, or a "
                 "key of more than 256 dotted parts";
        return false;
    }
    *parsed = toml::parse(text, path);
    if (*parsed) return true;
    const toml::parse_error& failure = parsed->error();
    *error =
        path + ":" + std::to_string(failure.source().begin.line) + ": " + std::string(failure.description());
    return false;
}
