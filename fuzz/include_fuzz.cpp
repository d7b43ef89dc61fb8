// The include expansion over arbitrary shader texts. Input: the text (a zero byte ends it early).
// The result must be a string that keeps every byte of the text not on an expanded line.
#include "base/text.h"
#include "fuzz/fuzz_support.h"
#include "renderer/shader_assembly.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    includeLibrary(); // the library table is filled once and kept for the process
    const int64_t before = memLiveBlocks();
    auto* text = static_cast<char*>(memAlloc(size + 1));
    if (!text) return 0;
    std::memcpy(text, data, size);
    const char* expanded = expandIncludes(text);
    if (!expanded) std::abort();
    const int32_t length = textLength(expanded);
    if (expanded == text && length != textLength(text)) std::abort();
    if (expanded != text) memFree(const_cast<char*>(expanded));
    memFree(text);
    checkNoLiveBlocks(before, "the include expansion");
    return 0;
}
