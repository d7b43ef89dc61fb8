// Heap routines through which every heap block of the program passes; blocks start zero-filled.
#pragma once

#include <cstddef>
#include <cstdint>

// A zero-filled block of `size` bytes (16-byte aligned), or null.
void* memAlloc(size_t size);
// Resizes a block (it may move); bytes added at the end are zero. A null block is allocated.
// On failure the old block is left untouched and null is returned.
void* memRealloc(void* block, size_t size);
// Frees a block; null is ignored.
void memFree(void* block);
// The size a block was allocated or last resized with.
size_t memSize(const void* block);

// Blocks allocated and not yet freed, process-wide; tests use it to prove owners free what they take.
int64_t memLiveBlocks();
// Makes the allocation `after` calls from now (0: the next) and the `count - 1` after it fail,
// so tests can exercise allocation failure. count 0 switches it off.
void memFailAllocations(int64_t after, int64_t count);
