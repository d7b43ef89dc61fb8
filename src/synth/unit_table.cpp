#include "synth/unit_table.h"

#include "base/memory.h"

namespace {

struct UnitEntry {
    int32_t number;
    UnitTick tick;
    UnitInit init;
    const char* name;
};

// noInit becomes a null hook by template matching rather than by comparing function addresses,
// which a compiler instrumenting pointer comparisons cannot fold into a constant.
template <UnitInit Init>
constexpr UnitInit initHook() {
    return Init;
}
template <>
constexpr UnitInit initHook<&noInit>() {
    return nullptr;
}

#define QUORLAX_UNIT_ENTRY(number, name, tick, init) {number, &tick, initHook<&init>(), #name},
constexpr UnitEntry kUnitTable[] = {QUORLAX_UNIT_TYPES(QUORLAX_UNIT_ENTRY)};
#undef QUORLAX_UNIT_ENTRY

constexpr bool rowsInNumberOrder() {
    for (int32_t i = 0; i < kUnitTypeCount; ++i)
        if (kUnitTable[i].number != i) return false;
    return true;
}
static_assert(sizeof(kUnitTable) / sizeof(kUnitTable[0]) == kUnitTypeCount);
static_assert(rowsInNumberOrder(), "unit rows must be listed once each, in number order");

} // namespace

void noInit(UnitNode*) {}

void tickSilent(UnitNode*) {}

void initWorkBuffer(UnitNode* node) {
    node->buffer = memAlloc(kWorkBufferBytes);
}

void initDelayBuffer(UnitNode* node) {
    node->buffer = memAlloc(kDelayBufferBytes);
}

UnitTick unitTick(int32_t type) {
    return type >= 0 && type < kUnitTypeCount ? kUnitTable[type].tick : &tickSilent;
}

UnitInit unitInit(int32_t type) {
    return type >= 0 && type < kUnitTypeCount ? kUnitTable[type].init : nullptr;
}

const char* unitTypeName(int32_t type) {
    return type >= 0 && type < kUnitTypeCount ? kUnitTable[type].name : "Unknown";
}
