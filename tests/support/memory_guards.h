// Scoped guards over the allocator's counters, so a test cannot forget to undo them.
#pragma once

#include "base/memory.h"

#include <gtest/gtest.h>

// Fails the test when the scope ends with another number of live blocks than it began with
// (plus `kept`, blocks the scope means to leave to its caller).
struct LeakGuard {
    int64_t before = memLiveBlocks();
    int64_t kept = 0;
    ~LeakGuard() { EXPECT_EQ(memLiveBlocks(), before + kept) << "blocks leaked or freed twice"; }
};

// Allocations fail as memFailAllocations(after, count) says until the scope ends.
struct FailingAllocations {
    FailingAllocations(int64_t after, int64_t count) { memFailAllocations(after, count); }
    ~FailingAllocations() { memFailAllocations(0, 0); }
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;
};
