#include "base/text.h"

#include "base/memory.h"

#include <cmath>
#include <cstdio>
#include <cstring>

int32_t formatTextV(char* buffer, size_t size, const char* format, va_list arguments) {
    return std::vsnprintf(buffer, size, format, arguments);
}

int32_t formatText(char* buffer, size_t size, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int32_t result = formatTextV(buffer, size, format, arguments);
    va_end(arguments);
    return result;
}

char* copyTextBounded(char* destination, const char* source, size_t size) {
    return std::strncpy(destination, source, size);
}

const char* findText(const char* haystack, const char* needle) {
    return std::strstr(haystack, needle);
}

char* splitOnQuotes(char* text) {
    return std::strtok(text, "\"");
}

int32_t compareText(const char* a, const char* b) {
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    for (;; ++x, ++y) {
        if (*x != *y) return *x < *y ? -1 : 1;
        if (*x == 0) return 0;
    }
}

char* copyText(char* destination, const char* source) {
    char* out = destination;
    while ((*out++ = *source++) != 0) {
    }
    return destination;
}

char* appendText(char* destination, const char* source) {
    copyText(destination + textLength(destination), source);
    return destination;
}

int32_t textLength(const char* text) {
    int32_t length = 0;
    while (text[length]) ++length;
    return length;
}

float tangent(float x) {
    return std::tan(x);
}

float squareRoot(float x) {
    return std::sqrt(x);
}

void copyBytes(void* destination, const void* source, size_t size) {
    std::memcpy(destination, source, size);
}

void clearBytes(void* destination, size_t size) {
    std::memset(destination, 0, size);
}

void setIdentity4x4(float* matrix) {
    for (int i = 0; i < 16; ++i) matrix[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

char* duplicateString(const char* text) {
    if (!text) return nullptr;
    int32_t length = textLength(text);
    char* copy = static_cast<char*>(memAlloc(static_cast<size_t>(length) + 1));
    if (copy) copyBytes(copy, text, static_cast<size_t>(length));
    return copy;
}
