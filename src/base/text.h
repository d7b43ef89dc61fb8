// Small text and math routines over the C run-time, plus a few of the program's own.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// printf-style formatting into `buffer` of `size` bytes. Like the run-time routine it wraps, it
// does not promise a terminator when the text is cut; callers clear their buffers first.
// Returns the formatter's result.
int32_t formatText(char* buffer, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int32_t formatTextV(char* buffer, size_t size, const char* format, va_list arguments);

// Bounded copy (strncpy semantics: padded with zeros, no terminator when cut).
char* copyTextBounded(char* destination, const char* source, size_t size);
// First occurrence of `needle` in `haystack`, or null.
const char* findText(const char* haystack, const char* needle);
// strtok over the delimiter set "\"": the first call takes the text, later calls null.
char* splitOnQuotes(char* text);

// Byte-wise comparison as unsigned characters up to and including the terminator: -1, 0 or 1.
int32_t compareText(const char* a, const char* b);
char* copyText(char* destination, const char* source);
char* appendText(char* destination, const char* source);
int32_t textLength(const char* text);
// A zero-filled heap copy of `text` (length + 1 bytes, from memAlloc), or null when `text` is
// null or the allocation fails. Free it with memFree.
char* duplicateString(const char* text);

float tangent(float x);
float squareRoot(float x);
void copyBytes(void* destination, const void* source, size_t size);
void clearBytes(void* destination, size_t size);
// Sets a column-major 4x4 float matrix to the identity.
void setIdentity4x4(float* matrix);
