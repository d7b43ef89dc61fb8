#include "synth/unit_table.h"

#include "base/memory.h"
#include "synth/plan_steps.h"
#include "synth/unit.h"

namespace {

struct UnitEntry {
    int32_t number;
    UnitTick tick;
    UnitPull pull;
    UnitInit init;
    const char* name;
};

// The tick of a stamped type: the stamp check, its inputs in the row's order, then the compute.
template <UnitTick Compute, UnitPull Pull>
void pulledTick(UnitNode* node) {
    if (!beginTick(node)) return;
    if constexpr (Pull.kind == PullKind::LastToFirst) {
        for (int32_t k = node->inputCount - 1; k >= 0; --k) tickInput(node, k);
    } else {
        for (int32_t k = Pull.first; k < Pull.first + Pull.count; ++k) tickInput(node, k);
    }
    Compute(node);
}

template <UnitTick Compute, UnitPull Pull>
constexpr UnitTick tickOf() {
    if constexpr (Pull.kind == PullKind::InOrder || Pull.kind == PullKind::LastToFirst)
        return &pulledTick<Compute, Pull>;
    else
        return Compute;
}

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

#define QUORLAX_UNIT_ENTRY(number, name, compute, init, pull)                                                \
    {number, tickOf<&compute, pull>(), pull, initHook<&init>(), #name},
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
QUORLAX_PLAN_STEPS(tickSilent)

void initWorkBuffer(UnitNode* node) {
    node->buffer = memAlloc(kWorkBufferBytes);
}

void initDelayBuffer(UnitNode* node) {
    node->buffer = memAlloc(kDelayBufferBytes);
}

UnitTick unitTick(int32_t type) {
    return type >= 0 && type < kUnitTypeCount ? kUnitTable[type].tick : &tickSilent;
}

UnitPull unitPull(int32_t type) {
    return type >= 0 && type < kUnitTypeCount ? kUnitTable[type].pull : unstamped();
}

UnitInit unitInit(int32_t type) {
    return type >= 0 && type < kUnitTypeCount ? kUnitTable[type].init : nullptr;
}

const char* unitTypeName(int32_t type) {
    return type >= 0 && type < kUnitTypeCount ? kUnitTable[type].name : "Unknown";
}
