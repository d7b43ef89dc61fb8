#include "shared/png_file.h"

#include "base/memory.h"

#include <png.h>

#include <cstring>

int32_t writePngFile(const char* path, const uint8_t* rgba, int32_t width, int32_t height, int32_t bottomUp) {
    if (!rgba || width <= 0 || height <= 0) return 0;
    OutputFile output;
    if (!openOutputFile(path, &output).empty()) return 0;
    return writePngOutput(&output, rgba, width, height, bottomUp).empty() ? 1 : 0;
}

std::string writePngOutput(OutputFile* output, const uint8_t* rgba, int32_t width, int32_t height,
                           int32_t bottomUp) {
    std::string failure = "cannot encode the picture";
    if (std::FILE* file = fdopen(output->descriptor, "wb")) {
        output->descriptor = -1;
        const bool written = writePng(file, rgba, width, height, bottomUp) != 0;
        if (std::fclose(file) == 0 && written) failure = commitOutputFile(output);
    }
    if (!failure.empty()) discardOutputFile(output);
    return failure;
}

int32_t writePng(std::FILE* file, const uint8_t* rgba, int32_t width, int32_t height, int32_t bottomUp) {
    if (!file || !rgba || width <= 0 || height <= 0) return 0;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    // A negative row stride makes libpng walk the rows from the last one in memory.
    png_int_32 stride = bottomUp ? -width * 4 : width * 4;
    const int written = png_image_write_to_stdio(&image, file, 0, rgba, stride, nullptr);
    png_image_free(&image);
    return written && std::fflush(file) == 0 ? 1 : 0;
}

uint8_t* readPngFile(const char* path, int32_t* width, int32_t* height) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) return nullptr;
    image.format = PNG_FORMAT_RGBA;
    auto* pixels = static_cast<uint8_t*>(memAlloc(PNG_IMAGE_SIZE(image)));
    if (!pixels || !png_image_finish_read(&image, nullptr, pixels, 0, nullptr)) {
        png_image_free(&image);
        memFree(pixels);
        return nullptr;
    }
    if (width) *width = static_cast<int32_t>(image.width);
    if (height) *height = static_cast<int32_t>(image.height);
    return pixels;
}
