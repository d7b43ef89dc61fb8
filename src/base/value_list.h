// A doubly linked list of tagged values with a cursor (scene states, display modes).
#pragma once

#include <cstdint>

enum ListTag : int32_t {
    OwnedPointer = 2, // the list frees `pointer` with memFree when the entry is removed
};

struct ListValue {
    int32_t tag;
    void* pointer;
};

struct ListNode {
    ListNode* next;
    ListNode* prev;
    ListValue entry;
};

struct ValueList {
    int32_t count;
    ListNode* head;
    ListNode* cursor;
    ListNode* tail;
};

void listInit(ValueList* list);
// Adds the value at the tail; the cursor stays. When no node can be allocated the list is unchanged
// and 0 is returned.
int32_t listAppend(ValueList* list, ListValue value);
// Removes the tail entry (freeing an owned pointer); 0 when the list is empty, else 1.
int32_t listRemoveLast(ValueList* list);
void listClear(ValueList* list);
// Cursor to the head; true when the list is not empty.
bool listRewind(ValueList* list);
// Cursor to the next node; false (cursor unmoved) on the tail.
bool listAdvance(ValueList* list);
// Rewinds, then advances n times; the last advance's result (0 when n <= 0).
int32_t listSeek(ValueList* list, int32_t n);
// The entry under the cursor; only for non-empty lists.
ListValue listGet(const ValueList* list);
int32_t listCount(const ValueList* list);
