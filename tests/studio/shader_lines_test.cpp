// Tracing the lines of an expanded program text back to their files, checked against the
// renderer's own include expansion, and the driver's log rewritten through the trace.
#include "base/memory.h"
#include "renderer/shader_assembly.h"
#include "shaders/embedded_shaders.h"
#include "studio/shader_lines.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::vector<TracedLibrary> embeddedLibraries() {
    std::vector<TracedLibrary> libraries;
    const IncludeLibraryEntry* entries = includeLibrary();
    for (int32_t i = 0; i < kIncludeLibraryCount; ++i)
        libraries.push_back({entries[i].name, std::string("lib/") + entries[i].name, entries[i].text});
    return libraries;
}

TEST(ShaderLines, IncludedLinesComeFromTheLibrary) {
    const std::vector<TracedLibrary> libraries = {{"a.inl", "src/a.inl", "one\ntwo\n"},
                                                  {"b.inl", "src/b.inl", "#include \"a.inl\"\nthree"}};
    const std::vector<SourceLine> lines = traceExpandedLines(
        "s.glsl", "#version 430\n#include \"b.inl\"\n#include \"none.inl\"\nvoid main() {}\n", libraries);
    // b.inl pastes a.inl (two lines and its final newline) and its own unterminated line, which
    // the scene's newline then ends; the include naming no library stays a line of its own.
    const std::vector<std::pair<std::string, int32_t>> expected = {
        {"s.glsl", 1},    {"src/a.inl", 1}, {"src/a.inl", 2}, {"src/b.inl", 1},
        {"src/b.inl", 2}, {"s.glsl", 3},    {"s.glsl", 4}};
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].file, expected[i].first) << "expanded line " << i + 1;
        EXPECT_EQ(lines[i].line, expected[i].second) << "expanded line " << i + 1;
    }
}

// Every line of every scene program as the renderer expands it is the line the trace names.
TEST(ShaderLines, TraceAgreesWithTheRenderersExpansionOfEveryScene) {
    const std::vector<TracedLibrary> libraries = embeddedLibraries();
    std::map<std::string, std::vector<std::string>> files;
    for (const TracedLibrary& library : libraries) files[library.file] = splitLines(library.text);
    int32_t scenes = 0;
    for (int32_t i = 0; kEmbeddedShaders[i].name; ++i) {
        const std::string name = kEmbeddedShaders[i].name;
        if (name.rfind("scene", 0) != 0) continue;
        ++scenes;
        const char* text = kEmbeddedShaders[i].text;
        files[name] = splitLines(text);
        const char* expanded = expandIncludes(text);
        const std::vector<std::string> expandedLines = splitLines(expanded);
        if (expanded != text) memFree(const_cast<char*>(expanded));

        const std::vector<SourceLine> trace = traceExpandedLines(name, text, libraries);
        ASSERT_EQ(trace.size(), expandedLines.size()) << name;
        for (size_t line = 0; line < trace.size(); ++line) {
            const std::vector<std::string>& origin = files[trace[line].file];
            ASSERT_GE(trace[line].line, 1);
            ASSERT_LE(size_t(trace[line].line), origin.size()) << name << " line " << line + 1;
            const std::string& source = origin[size_t(trace[line].line) - 1];
            // The newline that ended an include line follows the pasted library's own last one.
            if (expandedLines[line].empty() && source.rfind("#include", 0) == 0) continue;
            EXPECT_EQ(expandedLines[line], source) << name << " line " << line + 1;
        }
    }
    EXPECT_EQ(scenes, 8);
}

// A library that includes itself is pasted sixteen times, then its include line is left for the
// compiler, in the renderer's expansion and in the trace alike.
TEST(ShaderLines, SelfIncludingLibraryStopsWhereTheRendererStops) {
    const char* looping = "x\n#include \"common.inl\"";
    ASSERT_EQ(setIncludeLibraryText("common.inl", looping), 1);
    const char* scene = "#include \"common.inl\"\n";
    const char* expanded = expandIncludes(scene);
    const std::vector<std::string> expandedLines = splitLines(expanded);
    if (expanded != scene) memFree(const_cast<char*>(expanded));
    const std::vector<SourceLine> trace =
        traceExpandedLines("s.glsl", scene, {{"common.inl", "src/shaders/common.inl", looping}});
    setIncludeLibraryText("common.inl", nullptr);
    ASSERT_EQ(expandedLines.size(), 17u);
    ASSERT_EQ(trace.size(), 17u);
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(expandedLines[i], "x");
        EXPECT_EQ(trace[i].line, 1) << i;
    }
    EXPECT_EQ(expandedLines[16], "#include \"common.inl\"");
    EXPECT_EQ(trace[16].file, "src/shaders/common.inl");
    EXPECT_EQ(trace[16].line, 2);
}

TEST(ShaderLines, DriverMessagesAreLocatedInTheirFiles) {
    const std::vector<SourceLine> lines = {
        {"src/shaders/scene3.glsl", 1}, {"src/shaders/common.inl", 7}, {"src/shaders/scene3.glsl", 42}};
    struct Case {
        const char* log;
        const char* mapped;
    };
    const Case cases[] = {
        {"0:3(12): error: `foo' undeclared\n", "src/shaders/scene3.glsl:42: error: `foo' undeclared\n"},
        {"0:2(5): warning: unused\n0:3(1): error: x\n",
         "src/shaders/common.inl:7: warning: unused\nsrc/shaders/scene3.glsl:42: error: x\n"},
        {"0(2) : error C1008: undefined variable \"foo\"",
         "src/shaders/common.inl:7: error C1008: undefined variable \"foo\"\n"},
        {"0:9(1): error: past the end\n", "src/shaders/scene3.glsl:9: error: past the end\n"},
        {"error: linking failed\r\n\n", "src/shaders/scene3.glsl: error: linking failed\n"},
        {"0:x(1): odd\n", "src/shaders/scene3.glsl: 0:x(1): odd\n"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(mapProgramLog(c.log, lines, "src/shaders/scene3.glsl"), c.mapped) << c.log;
}

} // namespace
