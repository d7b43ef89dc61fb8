#include "framework/memory.h"
#include "framework/value_list.h"

#include <gtest/gtest.h>

namespace {

ListValue plain(intptr_t n) {
    return ListValue{0, reinterpret_cast<void*>(n)};
}
intptr_t valueAtCursor(const ValueList& list) {
    return reinterpret_cast<intptr_t>(listGet(&list).pointer);
}

} // namespace

TEST(ValueList, RemovingTheOnlyEntryEmptiesEverything) {
    ValueList list;
    listInit(&list);
    ASSERT_EQ(listAppend(&list, plain(7)), 1);
    listSeek(&list, 0);
    EXPECT_EQ(listRemoveLast(&list), 1);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);
    EXPECT_EQ(list.cursor, nullptr);
    EXPECT_EQ(listCount(&list), 0);
    EXPECT_EQ(listRemoveLast(&list), 0);
}

TEST(ValueList, AppendLinksNodesAndLeavesCursor) {
    ValueList list;
    listInit(&list);
    listAppend(&list, plain(1));
    listSeek(&list, 0);
    listAppend(&list, plain(2));
    listAppend(&list, plain(3));
    EXPECT_EQ(valueAtCursor(list), 1);
    EXPECT_EQ(list.head->next->next, list.tail);
    EXPECT_EQ(list.tail->prev->prev, list.head);
    EXPECT_EQ(list.head->prev, nullptr);
    EXPECT_EQ(list.tail->next, nullptr);
    listClear(&list);
}

TEST(ValueList, SeekClampsToHeadAndTail) {
    ValueList list;
    listInit(&list);
    for (int i = 0; i < 4; ++i) listAppend(&list, plain(10 + i));
    struct Case {
        int32_t n, result;
        intptr_t value;
    } cases[] = {{-1, 0, 10}, {0, 0, 10}, {1, 1, 11}, {3, 1, 13}, {4, 0, 13}, {1000, 0, 13}};
    for (const Case& c : cases) {
        EXPECT_EQ(listSeek(&list, c.n), c.result) << c.n;
        EXPECT_EQ(valueAtCursor(list), c.value) << c.n;
    }
    listClear(&list);
    EXPECT_EQ(listSeek(&list, 2), 0);
    EXPECT_EQ(list.cursor, nullptr);
}

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
    int64_t before = memLiveBlocks();
    ValueList list;
    listInit(&list);
    for (int i = 0; i < 5; ++i) listAppend(&list, ListValue{OwnedPointer, memAlloc(24)});
    listAppend(&list, ListValue{OwnedPointer, nullptr});
    void* borrowed = memAlloc(8);
    listAppend(&list, ListValue{1, borrowed});
    EXPECT_EQ(memLiveBlocks(), before + 6 + 7);
    listClear(&list);
    EXPECT_EQ(listCount(&list), 0);
    // Only the borrowed block is left: owned blocks and all nodes are gone.
    EXPECT_EQ(memLiveBlocks(), before + 1);
    memFree(borrowed);
}

TEST(ValueList, FailedNodeAllocationLeavesListUnchanged) {
    ValueList list;
    listInit(&list);
    listAppend(&list, plain(1));
    ValueList before = list;
    memFailAllocations(0, 1);
    EXPECT_EQ(listAppend(&list, plain(2)), 0);
    memFailAllocations(0, 0);
    EXPECT_EQ(list.count, before.count);
    EXPECT_EQ(list.head, before.head);
    EXPECT_EQ(list.tail, before.tail);
    EXPECT_EQ(list.tail->next, nullptr);
    listClear(&list);
}
