// The system heap under memAlloc's blocks, implemented by the platform layer for each system.
#pragma once

#include <cstddef>

// Zero-filled, 16-byte-aligned memory, or null.
void* systemAllocZeroed(size_t size);
// Resizes a block (it may move); null on failure with the old block untouched. New bytes are
// not zeroed here.
void* systemResize(void* block, size_t size);
void systemFree(void* block);
