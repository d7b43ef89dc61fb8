#include "capture_support.h"

#include "base/memory.h"
#include "shared/png_file.h"

Picture readPicture(const std::string& path) {
    Picture picture;
    int32_t width = 0, height = 0;
    uint8_t* rgba = readPngFile(path.c_str(), &width, &height);
    if (!rgba) return picture;
    picture = {width, height, std::vector<uint8_t>(rgba, rgba + size_t(width) * size_t(height) * 4)};
    memFree(rgba);
    return picture;
}
