#include "framework/memory.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

// The system heap under the blocks: the global heap on Windows (fixed blocks, zero-filled),
// the C library's heap elsewhere. Both return 16-byte-aligned memory on 64-bit systems.
#if defined(_WIN32)
void* systemAllocZeroed(size_t size) {
    return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
}
void* systemResize(void* block, size_t size) {
    return GlobalReAlloc(block, size, GMEM_MOVEABLE | GMEM_ZEROINIT);
}
void systemFree(void* block) {
    GlobalFree(block);
}
#else
void* systemAllocZeroed(size_t size) {
    return std::calloc(1, size);
}
void* systemResize(void* block, size_t size) {
    return std::realloc(block, size);
}
void systemFree(void* block) {
    std::free(block);
}
#endif

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
