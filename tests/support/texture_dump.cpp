#include "support/texture_dump.h"

#include "renderer/gl_api.h"
#include "shared/png_file.h"

#include <cstdlib>
#include <vector>

int32_t dumpTexturePng(uint32_t target, uint32_t texture, const char* path, TextureView view) {
    GLint width = 0, height = 0, depth = 1;
    glBindTexture(target, texture);
    glGetTexLevelParameteriv(target, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(target, 0, GL_TEXTURE_HEIGHT, &height);
    if (target == GL_TEXTURE_3D) glGetTexLevelParameteriv(target, 0, GL_TEXTURE_DEPTH, &depth);
    if (width <= 0 || height <= 0 || depth <= 0) return 0;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * depth * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(target, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    for (size_t i = 0; i < pixels.size(); i += 4) {
        uint8_t* texel = &pixels[i];
        if (view == TextureViewRgb) {
            texel[3] = 255;
        } else if (view != TextureViewRgba) {
            uint8_t value = texel[view - TextureViewRed];
            texel[0] = texel[1] = texel[2] = value;
            texel[3] = 255;
        }
    }
    // Slices stack in memory order, so a 3D texture is written top row first; a 2D one upright.
    return writePngFile(path, pixels.data(), width, height * depth, target == GL_TEXTURE_3D ? 0 : 1);
}

std::string textureDumpPath(const char* name) {
    const char* folder = std::getenv("QUORLAX_DUMP_DIR");
    if (!folder || !*folder) return "";
    return std::string(folder) + "/" + name;
}
