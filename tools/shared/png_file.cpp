#include "shared/png_file.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace {

// libpng reports errors by a long jump back here, so nothing with a destructor may live between
// setjmp and the library calls.
bool writeRows(FILE* file, int width, int height, const uint8_t* rgba, bool flipRows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t stride = static_cast<size_t>(width) * 4;
    for (int row = 0; row < height; ++row) {
        const int source = flipRows ? height - 1 - row : row;
        png_write_row(png, rgba + static_cast<size_t>(source) * stride);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

int writePngRgba(const char* path, int width, int height, const uint8_t* rgba, bool flipRows) {
    if (!path || !rgba || width <= 0 || height <= 0) return 0;
    FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    const bool written = writeRows(file, width, height, rgba, flipRows);
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return 1;
    std::remove(path);
    return 0;
}
