#include "base/value_list.h"

#include "base/memory.h"

void listInit(ValueList* list) {
    *list = ValueList{0, nullptr, nullptr, nullptr};
}

int32_t listAppend(ValueList* list, ListValue value) {
    auto* node = static_cast<ListNode*>(memAlloc(sizeof(ListNode)));
    if (!node) return 0;
    node->entry = value;
    node->next = nullptr;
    if (list->head) {
        node->prev = list->tail;
        list->tail->next = node;
    } else {
        node->prev = nullptr;
        list->head = node;
    }
    list->tail = node;
    ++list->count;
    return 1;
}

int32_t listRemoveLast(ValueList* list) {
    if (!list->head) return 0;
    --list->count;
    ListNode* tail = list->tail;
    if (tail->entry.tag == OwnedPointer && tail->entry.pointer) memFree(tail->entry.pointer);
    ListNode* prev = tail->prev;
    if (prev) {
        if (list->cursor == tail) list->cursor = prev;
        prev->next = nullptr;
        list->tail = prev;
    } else {
        list->head = list->tail = list->cursor = nullptr;
    }
    memFree(tail);
    return 1;
}

void listClear(ValueList* list) {
    for (int32_t n = list->count; n > 0; --n) listRemoveLast(list);
}

bool listRewind(ValueList* list) {
    list->cursor = list->head;
    return list->head != nullptr;
}

bool listAdvance(ValueList* list) {
    if (!list->cursor || list->cursor == list->tail || !list->cursor->next) return false;
    list->cursor = list->cursor->next;
    return true;
}

int32_t listSeek(ValueList* list, int32_t n) {
    listRewind(list);
    int32_t result = 0;
    // Once an advance fails every later one fails too, so the loop may stop there.
    for (int32_t i = 0; i < n; ++i)
        if (!(result = listAdvance(list) ? 1 : 0)) break;
    return result;
}

ListValue listGet(const ValueList* list) {
    return list->cursor->entry;
}

int32_t listCount(const ValueList* list) {
    return list->count;
}
