#include "base/memory.h"
#include "renderer/gl_entries.h"
#include "renderer/shader_assembly.h"
#include "support/gl_test.h"
#include "support/memory_guards.h"

#include <cstring>
#include <string>

namespace {

std::string common() {
    return includeLibrary()[0].text;
}
std::string postprocess() {
    return includeLibrary()[1].text;
}

// Expands `text` and returns the result as a string, freeing what the expansion allocated.
std::string expanded(const char* text) {
    const char* result = expandIncludes(text);
    std::string copy = result;
    if (result != text) memFree(const_cast<char*>(result));
    return copy;
}

int countOf(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

} // namespace

TEST(ReplaceAll, ReplacesEveryOccurrenceOfTheInputOnly) {
    struct Case {
        const char *text, *pattern, *replacement, *result;
    } cases[] = {
        {"abcabc", "b", "xbx", "axbxcaxbxc"}, // pasted text is not searched again
        {"aaa", "aa", "b", "ba"},             // non-overlapping, left to right
        {"abc", "z", "y", "abc"},
        {"abc", "b", "", "ac"},
        {"abc", "abc", "long replacement", "long replacement"},
        {"", "a", "b", ""},
        {"abc", "", "x", "abc"}, // an empty pattern matches nothing
    };
    for (const Case& c : cases) {
        LeakGuard leaks;
        char* state = nullptr;
        char* result = replaceAll(c.text, &state, c.pattern, c.replacement);
        ASSERT_NE(result, nullptr) << c.text;
        EXPECT_STREQ(result, c.result) << c.text << " / " << c.pattern;
        EXPECT_EQ(state, result);
        EXPECT_EQ(memSize(result), std::strlen(c.result) + 1);
        memFree(state);
    }
}

TEST(ReplaceAll, ReplacesTheStateBlockAndRejectsNullArguments) {
    LeakGuard leaks;
    char* state = nullptr;
    replaceAll("one two", &state, "two", "three");
    // The state itself as input: the old block is read, then released.
    char* second = replaceAll(state, &state, "one", "1");
    EXPECT_STREQ(second, "1 three");
    EXPECT_EQ(state, second);
    EXPECT_EQ(memLiveBlocks(), leaks.before + 1);

    EXPECT_EQ(replaceAll(nullptr, &state, "a", "b"), nullptr);
    EXPECT_EQ(replaceAll("a", nullptr, "a", "b"), nullptr);
    EXPECT_EQ(replaceAll("a", &state, nullptr, "b"), nullptr);
    EXPECT_EQ(replaceAll("a", &state, "a", nullptr), nullptr);
    EXPECT_EQ(state, second);

    {
        FailingAllocations failing(0, 1);
        EXPECT_EQ(replaceAll("abc", &state, "b", "x"), nullptr);
    }
    EXPECT_STREQ(state, "1 three");
    memFree(state);
}

TEST(ExpandIncludes, LibrariesReplaceTheirLinesAndTheNewlineStays) {
    LeakGuard leaks;
    struct Case {
        std::string text, result;
    } cases[] = {
        {"#version 430\n#include\"common.inl\"\n#include\"postprocess.inl\"\nvoid main() {}\n",
         "#version 430\n" + common() + "\n" + postprocess() + "\nvoid main() {}\n"},
        // The second library named first still gets its own text.
        {"#include\"postprocess.inl\"\n#include\"common.inl\"\nA", postprocess() + "\n" + common() + "\nA"},
        // Both occurrences of the same line are replaced in one run.
        {"#include\"common.inl\"\nA\n#include\"common.inl\"\nB", common() + "\nA\n" + common() + "\nB"},
        // A blank before the quoted name: the name is still the second token.
        {"#include \"common.inl\"\nX", common() + "\nX"},
        // The line without a newline after it ends at the end of the text.
        {"X\n#include\"postprocess.inl\"", "X\n" + postprocess()},
        // Only the first 255 characters of a longer line are the include line.
        {"#include\"common.inl\"//" + std::string(278, 'x') + "\nY", common() + std::string(45, 'x') + "\nY"},
        // An unknown name stays; later includes still expand; names are case-sensitive.
        {"#include\"other.inl\"\n#include\"common.inl\"\nX\n#include\"Common.inl\"\n",
         "#include\"other.inl\"\n" + common() + "\nX\n#include\"Common.inl\"\n"},
        // A missing or empty quoted name ends the expansion.
        {"#include common.inl\n#include\"common.inl\"\n", "#include common.inl\n#include\"common.inl\"\n"},
        {"#include\"\"\n#include\"common.inl\"\n", "#include\"\"\n#include\"common.inl\"\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(expanded(c.text.c_str()), c.result) << c.text;
}

TEST(ExpandIncludes, AllocationFailureKeepsWhatWasExpandedAndLeaksNothing) {
    LeakGuard leaks;
    FailingAllocations failing(1, 1); // the second replacement fails
    EXPECT_EQ(expanded("#include\"common.inl\"\n#include\"postprocess.inl\"\n"),
              common() + "\n#include\"postprocess.inl\"\n");
}

// Past sixteen expansions the include lines stay for the compiler, so a text made of include lines
// cannot make the expansion copy the growing text thousands of times.
TEST(ExpandIncludes, LinesPastTheSixteenthExpansionStayForTheCompiler) {
    const struct {
        int lines;
        int left;
    } cases[] = {{2, 0}, {16, 0}, {17, 1}, {600, 584}};
    const std::string library = includeLibrary()[0].text;
    for (const auto& c : cases) {
        std::string text;
        // Each line differs and none starts another, so each takes an expansion of its own.
        for (int i = 0; i < c.lines; ++i)
            text += "#include \"common.inl\" // " + std::to_string(1000 + i) + "\n";
        const std::string result = expanded(text.c_str());
        EXPECT_EQ(countOf(result, "#include"), c.left) << c.lines << " lines";
        EXPECT_EQ(countOf(result, library), c.lines - c.left) << c.lines << " lines";
    }
}

class BuildSceneProgram : public GlTest {};

TEST_F(BuildSceneProgram, FailuresReturnMinusOneAndKeepTheLog) {
    const char* broken[] = {
        "#version 430\n#include\"missing.inl\"\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n",
        "#version 430\nout vec4 c;\nvoid main() { c = undeclared; }\n",
        "",
    };
    for (const char* text : broken) {
        EXPECT_EQ(buildSceneProgram(text), -1) << text;
        EXPECT_STRNE(sceneProgramLog(), "") << text;
    }
    EXPECT_EQ(buildSceneProgram(nullptr), -1);
    while (glGetError() != GL_NO_ERROR) {
    }
}
