#include "framework/memory.h"
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
        const char* text;
        std::string result;
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
    };
    for (const Case& c : cases) EXPECT_EQ(expanded(c.text), c.result) << c.text;
}

TEST(ExpandIncludes, IncludeLineLongerThan255IsCut) {
    std::string line = "#include\"common.inl\"//" + std::string(278, 'x');
    ASSERT_EQ(line.size(), 300u);
    std::string text = line + "\nvoid main() {}\n";
    // The first 255 characters are the include line; the other 45 stay after the library.
    EXPECT_EQ(expanded(text.c_str()), common() + std::string(45, 'x') + "\nvoid main() {}\n");
}

TEST(ExpandIncludes, UnknownNameStaysAndLaterIncludesStillExpand) {
    const char* unknownOnly = "#include\"other.inl\"\nvoid main() {}\n";
    EXPECT_EQ(expandIncludes(unknownOnly), unknownOnly);
    EXPECT_EQ(expanded("#include\"other.inl\"\n#include\"common.inl\"\nX\n#include\"Common.inl\"\n"),
              "#include\"other.inl\"\n" + common() + "\nX\n#include\"Common.inl\"\n");
}

TEST(ExpandIncludes, MissingQuotedNameEndsTheExpansion) {
    const char* text = "#include common.inl\n#include\"common.inl\"\n";
    EXPECT_EQ(expandIncludes(text), text);
    const char* emptyName = "#include\"\"\n#include\"common.inl\"\n";
    EXPECT_EQ(expandIncludes(emptyName), emptyName);
}

TEST(ExpandIncludes, AllocationFailureKeepsWhatWasExpandedAndLeaksNothing) {
    LeakGuard leaks;
    FailingAllocations failing(1, 1); // the second replacement fails
    EXPECT_EQ(expanded("#include\"common.inl\"\n#include\"postprocess.inl\"\n"),
              common() + "\n#include\"postprocess.inl\"\n");
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
