#include "base/memory.h"
#include "support/memory_guards.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

TEST(Memory, ReallocKeepsOldBytesAndZeroFillsGrowth) {
    auto* block = static_cast<uint8_t*>(memAlloc(10));
    std::memset(block, 0xAB, 10);
    // Dirty the heap so a reused region would show through if growth were not cleared.
    void* scratch = memAlloc(1 << 16);
    std::memset(scratch, 0xFF, 1 << 16);
    memFree(scratch);
    block = static_cast<uint8_t*>(memRealloc(block, 70000));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(block[i], 0xAB) << i;
    for (int i = 10; i < 70000; ++i) ASSERT_EQ(block[i], 0) << i;
    EXPECT_EQ(memSize(block), 70000u);
    // Shrinking then growing again zero-fills what comes back.
    block = static_cast<uint8_t*>(memRealloc(block, 4));
    block = static_cast<uint8_t*>(memRealloc(block, 8));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(block[i], 0xAB);
    for (int i = 4; i < 8; ++i) EXPECT_EQ(block[i], 0);
    memFree(block);
}

TEST(Memory, InjectedFailuresLeaveBlocksIntact) {
    void* block = memAlloc(16);
    FailingAllocations failing(1, 1);
    void* first = memAlloc(8);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(memRealloc(block, 64), nullptr);
    EXPECT_EQ(memSize(block), 16u);
    void* after = memAlloc(8);
    EXPECT_NE(after, nullptr);
    memFree(first);
    memFree(after);
    memFree(block);
}
