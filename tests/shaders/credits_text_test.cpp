// The text sections of scene 8: their codes re-derived from the plain text written above them,
// their sizes and line structure, and the character-code macros they are spelled with.
#include "shaders/embedded_shaders.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct TextSection {
    std::string name;
    int declaredCount = 0;
    std::vector<std::string> entries; // macro names and literals, in order
    std::vector<std::string> lines;   // the plain text of every line, from the comments
};

std::string sceneEightText() {
    const char* text = findEmbeddedShader("scene8.glsl");
    return text ? text : "";
}

// Every "#define _x value" of the text.
std::map<std::string, std::string> characterMacros(const std::string& text) {
    std::map<std::string, std::string> macros;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string directive, name, value;
        words >> directive >> name >> value;
        if (directive == "#define" && !name.empty() && name[0] == '_') macros[name] = value;
    }
    return macros;
}

// The array `name` of the text: its declared size, entries and the quoted plain-text comments.
TextSection findSection(const std::string& text, const std::string& name) {
    TextSection section;
    section.name = name;
    const std::string opening = "const float " + name + "[";
    const size_t start = text.find(opening);
    if (start == std::string::npos) return section;
    section.declaredCount = std::stoi(text.substr(start + opening.size()));
    const size_t body = text.find("float[](", start);
    const size_t end = text.find(");", body);
    if (body == std::string::npos || end == std::string::npos) return section;

    std::istringstream lines(text.substr(body + 8, end - body - 8));
    for (std::string line; std::getline(lines, line);) {
        const size_t comment = line.find("//");
        if (comment != std::string::npos) {
            const size_t open = line.find('"', comment);
            const size_t close = line.rfind('"');
            if (open != std::string::npos && close > open)
                section.lines.push_back(line.substr(open + 1, close - open - 1));
            line.erase(comment);
        }
        std::string entry;
        for (char c : line + ",") {
            if (c == ',') {
                if (!entry.empty()) section.entries.push_back(entry);
                entry.clear();
            } else if (!std::isspace(static_cast<unsigned char>(c))) {
                entry += c;
            }
        }
    }
    return section;
}

// The macro that spells character c, or "" when the text sections cannot hold it.
std::string macroFor(char c) {
    switch (c) {
    case '\n':
        return "_rt";
    case ' ':
        return "_sp";
    case '-':
        return "_hf";
    case '.':
        return "_pi";
    case '/':
        return "_sl";
    }
    if (std::isalnum(static_cast<unsigned char>(c))) return std::string("_") + c;
    return "";
}

// The code the macro must stand for: 10 for a line break, else the character's 8-bit code.
std::map<std::string, int> expectedMacroCodes() {
    std::map<std::string, int> codes = {{"_rt", 10}, {"_sp", 32}, {"_hf", 45}, {"_pi", 46}, {"_sl", 47}};
    for (char c = '0'; c <= '9'; ++c) codes[std::string("_") + c] = c;
    for (char c = 'A'; c <= 'Z'; ++c) codes[std::string("_") + c] = c;
    for (char c = 'a'; c <= 'z'; ++c) codes[std::string("_") + c] = c;
    return codes;
}

std::string trimmed(const std::string& s) {
    const size_t first = s.find_first_not_of(' ');
    return first == std::string::npos ? "" : s.substr(first, s.find_last_not_of(' ') - first + 1);
}

struct SectionShape {
    const char* name;
    int entries; // with the end marker
    int lines;
};
constexpr SectionShape kSections[] = {
    {"textsSection01", 69, 3},
    {"textsSection02", 42, 8},
    {"textsSection03", 99, 11},
    {"textsSection04", 23, 1},
};

} // namespace

TEST(CreditsText, MacrosStandForTheirCharacterCodes) {
    const std::string text = sceneEightText();
    ASSERT_FALSE(text.empty());
    const std::map<std::string, std::string> macros = characterMacros(text);
    const std::map<std::string, int> expected = expectedMacroCodes();
    EXPECT_EQ(macros.size(), expected.size());
    for (const auto& [name, code] : expected) {
        ASSERT_TRUE(macros.count(name)) << name << " is not defined";
        EXPECT_EQ(macros.at(name), std::to_string(code) + ".0") << name;
    }
    EXPECT_NE(text.find("#define CHARPOS_X 0.5\n"), std::string::npos);
}

TEST(CreditsText, EverySectionHasItsSizeLinesAndEndMarker) {
    const std::string text = sceneEightText();
    const std::map<std::string, int> allowed = expectedMacroCodes();
    for (const SectionShape& shape : kSections) {
        SCOPED_TRACE(shape.name);
        const TextSection section = findSection(text, shape.name);
        EXPECT_EQ(section.declaredCount, shape.entries);
        ASSERT_EQ(static_cast<int>(section.entries.size()), shape.entries);
        EXPECT_EQ(section.entries.back(), "255.0");
        int lines = 1;
        for (size_t i = 0; i + 1 < section.entries.size(); ++i) {
            const std::string& entry = section.entries[i];
            EXPECT_TRUE(allowed.count(entry)) << "entry " << i << " is " << entry;
            lines += entry == "_rt";
        }
        EXPECT_EQ(lines, shape.lines);
    }
}

TEST(CreditsText, CodesSpellThePlainTextAboveThem) {
    const std::string text = sceneEightText();
    for (const SectionShape& shape : kSections) {
        SCOPED_TRACE(shape.name);
        const TextSection section = findSection(text, shape.name);
        ASSERT_EQ(static_cast<int>(section.lines.size()), shape.lines) << "one quoted line per text line";
        std::vector<std::string> spelled;
        for (size_t line = 0; line < section.lines.size(); ++line) {
            if (line > 0) spelled.push_back(macroFor('\n'));
            for (char c : section.lines[line]) {
                ASSERT_NE(macroFor(c), "") << "'" << c << "' has no code";
                spelled.push_back(macroFor(c));
            }
        }
        spelled.push_back("255.0");
        EXPECT_EQ(section.entries, spelled);
    }
}

TEST(CreditsText, SectionsCarryTheTitleCardCreditsGreetingsAndClosingLine) {
    const std::string text = sceneEightText();
    const TextSection title = findSection(text, "textsSection01");
    ASSERT_EQ(title.lines.size(), 3u);
    for (const std::string& line : title.lines) EXPECT_EQ(line[0], ' ') << line;
    EXPECT_EQ(trimmed(title.lines[0]), "Varnholt Presents");
    EXPECT_EQ(trimmed(title.lines[2]), "- Quorlax -");

    const TextSection credits = findSection(text, "textsSection02");
    ASSERT_EQ(credits.lines.size(), 8u);
    EXPECT_EQ(credits.lines[0], "Engine/Code.");
    EXPECT_EQ(credits.lines[3], "Visual.");
    EXPECT_EQ(credits.lines[6], "Music.");
    EXPECT_EQ(credits.lines[2], "");
    EXPECT_EQ(credits.lines[5], "");
    for (int name : {1, 4, 7}) EXPECT_NE(trimmed(credits.lines[name]), "") << "line " << name;

    const TextSection greetings = findSection(text, "textsSection03");
    ASSERT_EQ(greetings.lines.size(), 11u);
    EXPECT_EQ(greetings.lines[0], "Greeting.");
    for (size_t line = 1; line < greetings.lines.size(); ++line)
        EXPECT_NE(trimmed(greetings.lines[line]), "") << "line " << line;

    const TextSection closing = findSection(text, "textsSection04");
    ASSERT_EQ(closing.lines.size(), 1u);
    EXPECT_EQ(closing.lines[0].find_first_not_of(' '), 9u) << "nine blanks, then the name and year";
}
