#include "base/memory.h"
#include "base/value_list.h"
#include "support/memory_guards.h"

#include <gtest/gtest.h>

namespace {

ListValue plain(intptr_t n) {
    return ListValue{0, reinterpret_cast<void*>(n)};
}
intptr_t valueAtCursor(const ValueList& list) {
    return reinterpret_cast<intptr_t>(listGet(&list).pointer);
}

} // namespace

TEST(ValueList, RemovingTheTailUnderTheCursorMovesItBack) {
    ValueList list;
    listInit(&list);
    for (int i = 0; i < 3; ++i) listAppend(&list, plain(i));
    listSeek(&list, 2);
    listRemoveLast(&list);
    EXPECT_EQ(valueAtCursor(list), 1);
    EXPECT_EQ(list.tail->next, nullptr);
    listSeek(&list, 0);
    listRemoveLast(&list);
    EXPECT_EQ(valueAtCursor(list), 0);
    listClear(&list);
}

TEST(ValueList, ClearingFreesOwnedPointersExactlyOnce) {
    LeakGuard leaks;
    ValueList list;
    listInit(&list);
    for (int i = 0; i < 5; ++i) listAppend(&list, ListValue{OwnedPointer, memAlloc(24)});
    listAppend(&list, ListValue{OwnedPointer, nullptr});
    void* borrowed = memAlloc(8);
    listAppend(&list, ListValue{1, borrowed});
    EXPECT_EQ(memLiveBlocks(), leaks.before + 6 + 7);
    listClear(&list);
    EXPECT_EQ(listCount(&list), 0);
    // Only the borrowed block is left: owned blocks and all nodes are gone.
    EXPECT_EQ(memLiveBlocks(), leaks.before + 1);
    memFree(borrowed);
}

TEST(ValueList, FailedNodeAllocationLeavesListUnchanged) {
    ValueList list;
    listInit(&list);
    listAppend(&list, plain(1));
    ValueList before = list;
    {
        FailingAllocations failing(0, 1);
        EXPECT_EQ(listAppend(&list, plain(2)), 0);
    }
    EXPECT_EQ(list.count, before.count);
    EXPECT_EQ(list.head, before.head);
    EXPECT_EQ(list.tail, before.tail);
    EXPECT_EQ(list.tail->next, nullptr);
    listClear(&list);
}
