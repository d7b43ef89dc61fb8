// The include expansion stops after sixteen expansions, so a text made of include lines cannot
// make it copy the growing text thousands of times.
#include "framework/memory.h"
#include "renderer/shader_assembly.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int countOf(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

TEST(IncludeLimitTest, LinesPastTheSixteenthExpansionStayForTheCompiler) {
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
        const char* expanded = expandIncludes(text.c_str());
        const std::string result = expanded;
        if (expanded != text.c_str()) memFree(const_cast<char*>(expanded));
        EXPECT_EQ(countOf(result, "#include"), c.left) << c.lines << " lines";
        EXPECT_EQ(countOf(result, library), c.lines - c.left) << c.lines << " lines";
    }
}

} // namespace
