// PNG files of 8-bit RGBA images, for the tools and the tests.
#pragma once

#include "shared/output_file.h"

#include <cstdint>
#include <cstdio>
#include <string>

// Writes width x height RGBA pixels, rows stored top row first, or bottom row first when
// `bottomUp` is nonzero (as GL reads them back); the file always shows the top row first.
// Returns 1, or 0 when the file cannot be written; the file at `path` is replaced only once the
// whole picture is written, and left as it was on failure.
int32_t writePngFile(const char* path, const uint8_t* rgba, int32_t width, int32_t height, int32_t bottomUp);
// The same into an open stream (not closed here).
int32_t writePng(std::FILE* file, const uint8_t* rgba, int32_t width, int32_t height, int32_t bottomUp);
// The same into an output file opened with openOutputFile, committed when written and discarded
// otherwise; "" on success, otherwise why not.
std::string writePngOutput(OutputFile* output, const uint8_t* rgba, int32_t width, int32_t height,
                           int32_t bottomUp);

// Reads a PNG of any colour type and depth as 8-bit RGBA, top row first, into a block from memAlloc
// (the caller frees it). Null when the file cannot be read or is not a PNG.
uint8_t* readPngFile(const char* path, int32_t* width, int32_t* height);
