// The global heap under memAlloc: fixed, zero-filled blocks, 16-byte aligned on 64-bit Windows.
#include "base/system_heap.h"

#include <windows.h>

void* systemAllocZeroed(size_t size) {
    return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
}

void* systemResize(void* block, size_t size) {
    return GlobalReAlloc(block, size, GMEM_MOVEABLE | GMEM_ZEROINIT);
}

void systemFree(void* block) {
    GlobalFree(block);
}
