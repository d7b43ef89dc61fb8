// PNG files of 8-bit RGBA pictures, written through libpng.
#pragma once

#include <cstdint>

// Writes width x height RGBA pixels as an 8-bit RGBA PNG. Rows are stored top first, or bottom
// first (as GL reads them back) when `flipRows` is set; the file always starts with the top row.
// Returns 1, or 0 when the file cannot be created or written (a partly written file is removed).
int writePngRgba(const char* path, int width, int height, const uint8_t* rgba, bool flipRows);
