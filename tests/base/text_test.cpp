#include "base/text.h"

#include <gtest/gtest.h>

TEST(Text, CompareIsUnsignedAndIncludesTheTerminator) {
    EXPECT_EQ(compareText("abc", "abc"), 0);
    EXPECT_EQ(compareText("ab", "abc"), -1);
    EXPECT_EQ(compareText("abc", "ab"), 1);
    EXPECT_EQ(compareText("\xff", "a"), 1); // 255 sorts after 'a' as unsigned
    EXPECT_EQ(compareText("", ""), 0);
}
