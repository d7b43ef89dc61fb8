#include "base/memory.h"

#include "base/system_heap.h"

#include <atomic>
#include <cstring>

namespace {

// Each block is preceded by a 16-byte header holding its size, which keeps the payload at the
// allocator's 16-byte alignment and lets memRealloc zero exactly the grown part.
struct alignas(16) BlockHeader {
    size_t size;
};
static_assert(sizeof(BlockHeader) == 16);

std::atomic<int64_t> liveBlocks{0};
std::atomic<int64_t> failAfter{0};
std::atomic<int64_t> failCount{0};

bool injectedFailure() {
    if (failCount.load(std::memory_order_relaxed) <= 0) return false;
    if (failAfter.fetch_sub(1, std::memory_order_relaxed) > 0) return false;
    failAfter.store(0, std::memory_order_relaxed);
    return failCount.fetch_sub(1, std::memory_order_relaxed) > 0;
}

BlockHeader* headerOf(const void* block) {
    return static_cast<BlockHeader*>(const_cast<void*>(block)) - 1;
}

} // namespace

void* memAlloc(size_t size) {
    if (injectedFailure() || size > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    auto* header = static_cast<BlockHeader*>(systemAllocZeroed(sizeof(BlockHeader) + size));
    if (!header) return nullptr;
    header->size = size;
    liveBlocks.fetch_add(1, std::memory_order_relaxed);
    return header + 1;
}

void* memRealloc(void* block, size_t size) {
    if (!block) return memAlloc(size);
    if (injectedFailure() || size > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    size_t oldSize = headerOf(block)->size;
    auto* header = static_cast<BlockHeader*>(systemResize(headerOf(block), sizeof(BlockHeader) + size));
    if (!header) return nullptr;
    if (size > oldSize) std::memset(reinterpret_cast<char*>(header + 1) + oldSize, 0, size - oldSize);
    header->size = size;
    return header + 1;
}

void memFree(void* block) {
    if (!block) return;
    systemFree(headerOf(block));
    liveBlocks.fetch_sub(1, std::memory_order_relaxed);
}

size_t memSize(const void* block) {
    return block ? headerOf(block)->size : 0;
}

int64_t memLiveBlocks() {
    return liveBlocks.load(std::memory_order_relaxed);
}

void memFailAllocations(int64_t after, int64_t count) {
    failAfter.store(after, std::memory_order_relaxed);
    failCount.store(count, std::memory_order_relaxed);
}
