#include "framework/text.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Text, CompareIsUnsignedAndIncludesTheTerminator) {
    EXPECT_EQ(compareText("abc", "abc"), 0);
    EXPECT_EQ(compareText("ab", "abc"), -1);
    EXPECT_EQ(compareText("abc", "ab"), 1);
    EXPECT_EQ(compareText("\xff", "a"), 1); // 255 sorts after 'a' as unsigned
    EXPECT_EQ(compareText("", ""), 0);
}

TEST(Text, CopyAppendLength) {
    char buffer[32] = {};
    copyText(buffer, "common");
    appendText(buffer, ".inl");
    EXPECT_STREQ(buffer, "common.inl");
    EXPECT_EQ(textLength(buffer), 10);
    EXPECT_EQ(textLength(""), 0);
}

TEST(Text, FormatCutsAtTheBufferSize) {
    char buffer[8];
    std::memset(buffer, 0, sizeof buffer);
    int32_t n = formatText(buffer, sizeof buffer, "%d-%s", 1234, "abcdef");
    EXPECT_EQ(n, 11);
    EXPECT_EQ(std::strncmp(buffer, "1234-ab", 7), 0);
}

TEST(Text, SplitOnQuotesTokenises) {
    char line[] = "#include \"common.inl\"";
    EXPECT_STREQ(splitOnQuotes(line), "#include ");
    EXPECT_STREQ(splitOnQuotes(nullptr), "common.inl");
    EXPECT_EQ(splitOnQuotes(nullptr), nullptr);
}

TEST(Text, IdentityMatrix) {
    float m[16];
    std::memset(m, 0x7f, sizeof m);
    setIdentity4x4(m);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(m[r * 4 + c], r == c ? 1.0f : 0.0f);
}
