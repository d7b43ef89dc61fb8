// The C library's heap under memAlloc (16-byte-aligned blocks on 64-bit systems).
#include "base/system_heap.h"

#include <cstdlib>

void* systemAllocZeroed(size_t size) {
    return std::calloc(1, size);
}

void* systemResize(void* block, size_t size) {
    return std::realloc(block, size);
}

void systemFree(void* block) {
    std::free(block);
}
