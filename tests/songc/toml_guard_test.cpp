// What the sources may hold outside ASCII: characters in strings and comments keep their value,
// anywhere else they are refused with their line and their name, and toml++ itself only ever reads
// ASCII, whatever the quoting (under the sanitizers this suite shows that none of these inputs
// reaches undefined behaviour in the library).
#include "songc/songc.h"
#include "songc/toml_support.h"

#include "synth/builtin_song.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The UTF-8 of one code point.
std::string utf8(char32_t point) {
    std::string out;
    if (point < 0x80) {
        out += char(point);
    } else if (point < 0x800) {
        out += char(0xC0 | point >> 6);
        out += char(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += char(0xE0 | point >> 12);
        out += char(0x80 | (point >> 6 & 0x3F));
        out += char(0x80 | (point & 0x3F));
    } else {
        out += char(0xF0 | point >> 18);
        out += char(0x80 | (point >> 12 & 0x3F));
        out += char(0x80 | (point >> 6 & 0x3F));
        out += char(0x80 | (point & 0x3F));
    }
    return out;
}

std::string codeName(char32_t point) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", unsigned(point));
    return text;
}

std::string parseError(const std::string& text) {
    toml::parse_result parsed;
    std::string error;
    return parseSource(text, "t.toml", &parsed, &error) ? "" : error;
}

// The value of key "v" of a source that must parse.
std::string valueOf(const std::string& text) {
    toml::parse_result parsed;
    std::string error;
    if (!parseSource(text, "t.toml", &parsed, &error)) return "refused: " + error;
    return parsed.table()["v"].value<std::string>().value_or("(no string v)");
}

// The inputs longer fuzzing found: a quote that starts no string made the old check take what
// followed for a string, and toml++ reached unreachable code on it. Refused now, for both sources.
TEST(TomlGuard, QuotesThatStartNoStringAreNoCover) {
    const struct {
        std::string text;
        std::string message;
    } rows[] = {
        {std::string("a=0\"\xEF\xB3\xBF"),
         "t.toml:1: the character U+FCFF '\xEF\xB3\xBF' stands outside a string or comment"},
        {std::string("p=+\"\xCC\xBF"), "t.toml:1: the character U+033F '\xCC\xBF' stands outside"},
        {std::string("\0p=8'\xEF\xBB\xBD", 8), "t.toml:1: the character U+FEFD"},
        {"a = 1.\xC3\xA9", "t.toml:1: the character U+00E9 '\xC3\xA9'"},
        {"a = 1 \"\xC3\xA9\"", "the character U+00E9"},
        {"x = 1\n\xC3\xA9 = 2", "t.toml:2: the character U+00E9"},
        {"a = [1,\n  \xC2\xA0 2]", "t.toml:2: the character U+00A0 '\xC2\xA0'"},
        {"[t.\xE3\x80\x80]", "the character U+3000"},
        {"a = { b = \xC2\x85 }", "the character U+0085 stands"},
        {"a = \"\"\"\\\xC3\xA9\"\"\"", "t.toml:1: a backslash before U+00E9 '\xC3\xA9' is no escape"},
        {"a = \"x\\\xE2\x80\xA8\"", "a backslash before U+2028"},
        {"a = \"\xFF\"", "t.toml:1: byte 0xFF is not part of a UTF-8 character"},
        {"a = \"\xC0\x80\"", "byte 0xC0 is not part of a UTF-8 character"},
        {"a = \"\xED\xA0\x80\"", "byte 0xED is not part of a UTF-8 character"},
        {"# fine\na = '\xE2\x82'", "t.toml:2: byte 0xE2 is not part of a UTF-8 character"},
    };
    for (const auto& row : rows)
        EXPECT_NE(parseError(row.text).find(row.message), std::string::npos) << row.text << "\n"
                                                                             << parseError(row.text);
    // The compilers say the same with their own path.
    std::vector<uint16_t> words;
    std::vector<uint8_t> song;
    std::string error;
    EXPECT_FALSE(compilePatch(rows[0].text, "p.toml", &words, &error));
    EXPECT_EQ(error.rfind("p.toml:1: the character U+FCFF", 0), 0u) << error;
    EXPECT_FALSE(compileSong(rows[1].text, "s.toml", nullptr, &song, &error));
    EXPECT_EQ(error.rfind("s.toml:1: the character U+033F", 0), 0u) << error;
}

TEST(TomlGuard, StringsAndCommentsKeepTheirCharacters) {
    const std::string e = "\xC3\xA9", smile = "\xF0\x9F\x98\x80";
    const struct {
        std::string text, value;
    } rows[] = {
        {"v = \"caf" + e + "\"", "caf" + e},
        {"v = \"" + smile + "\" # " + e + smile, smile},
        {"v = 'x\\y\"" + e + "'", "x\\y\"" + e},
        {"v = '''\nl" + e + "ne\n\"\"\"'''", "l" + e + "ne\n\"\"\""},
        {"v = '''" + e + "'''''", e + "''"},
        {"v = \"\"\"\\\n   " + e + "\"\"\"", e},
        {"v = \"\"\"a\\\"" + e + "\"\"\"\"", "a\"" + e + "\""},
        {"\"k" + e + "\" = 1\nv = 'k" + e + "'", "k" + e},
        {"# " + e + "\n[t] # " + e + "\nv = 0\n[u]\nv = \"" + e + "\"", "(no string v)"},
        {"\xEF\xBB\xBFv = \"" + e + "\"", e},
        {"v = \"\xC2\x80\"", "\xC2\x80"},
    };
    for (const auto& row : rows) EXPECT_EQ(valueOf(row.text), row.value) << row.text;
    toml::parse_result parsed;
    std::string error;
    ASSERT_TRUE(parseSource("a = [ \"" + e + "\", # " + e + "\n  '" + e + "' ]\nb = { c = '" + e + "' }",
                            "t.toml", &parsed, &error))
        << error;
    EXPECT_EQ(parsed.table()["a"][1].value<std::string>().value_or(""), e);
    EXPECT_EQ(parsed.table()["b"]["c"].value<std::string>().value_or(""), e);
}

// Every place of the grammar with characters from the ranges toml++'s whitespace test lacks (and
// around them): refused with the character's name, or read back as written.
TEST(TomlGuard, EveryCharacterInEveryPlaceIsReadOrRefused) {
    std::vector<char32_t> points = {0x80,   0x9F,   0xA0,   0x499,  0x49A,   0x2028,  0x2C5E,  0x3000,
                                    0x3057, 0xFB26, 0xFEFF, 0xFFFD, 0x10000, 0x1F600, 0x10FFFF};
    for (char32_t p = 0xA1; p < 0x499; p += 37) points.push_back(p);
    for (char32_t p = 0x2C5E; p < 0x3058; p += 53) points.push_back(p);
    for (char32_t p = 0xFB26; p < 0xFF00; p += 41) points.push_back(p);
    // %: the character. Refused places, then places whose value of v is the character itself.
    const std::vector<std::string> refused = {
        "a=0\"%", "p=+'%", "a = 1.%",       "a = [1, %]",  "x = 1\n% = 1",        "a = 1 %",
        "a =%",   "[t.%]", "a = { b = % }", "a = 1 \"%\"", "a = \"\"\"\\%\"\"\"", "a = tr%ue"};
    const std::vector<std::string> read = {"v = \"%\"",     "v = '%'",
                                           "v = '''%'''",   "v = \"\"\"\\\n %\"\"\"",
                                           "v = \"%\" # %", "\"%\" = 1\nv = \"%\""};
    for (char32_t point : points) {
        const std::string character = utf8(point);
        auto place = [&](std::string text) {
            for (size_t at; (at = text.find('%')) != std::string::npos;) text.replace(at, 1, character);
            return text;
        };
        for (const std::string& text : refused)
            EXPECT_NE(parseError(place(text)).find(codeName(point)), std::string::npos)
                << text << " " << codeName(point);
        for (const std::string& text : read)
            EXPECT_EQ(valueOf(place(text)), character) << text << " " << codeName(point);
        EXPECT_EQ(parseError(place("a = 1 # %")), "") << codeName(point);
    }
}

TEST(TomlGuard, KeysOfMoreThan256DotsAreRefused) {
    std::string key = "a";
    for (int i = 0; i < 256; ++i) key += ".a";
    EXPECT_EQ(parseError(key + " = 1"), "");
    EXPECT_EQ(parseError("[" + key + "]"), "");
    EXPECT_EQ(parseError("x = 1\n" + key + ".a = 1"), "t.toml:2: a key of more than 256 dotted parts");
    EXPECT_EQ(parseError("[" + key + ".a]"), "t.toml:1: a key of more than 256 dotted parts");
    // Dots in values are no key parts.
    std::string value = "v = [";
    for (int i = 0; i < 300; ++i) value += "1.5, ";
    EXPECT_EQ(parseError(value + "]"), "");
}

} // namespace
