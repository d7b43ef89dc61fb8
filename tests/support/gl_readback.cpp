#include "support/gl_readback.h"

#include "renderer/gl_entries.h"

#include <cstddef>

namespace {

// Level 0 of a 2D texture as four `type` components a texel, rows bottom first.
template <typename Component>
std::vector<Component> readTextureLevel0(uint32_t texture, GLenum type, int32_t* width, int32_t* height) {
    GLint w = 0, h = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    std::vector<Component> pixels(static_cast<size_t>(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, type, pixels.data());
    if (width) *width = w;
    if (height) *height = h;
    return pixels;
}

} // namespace

std::vector<uint8_t> readTexture(uint32_t texture, int32_t* width, int32_t* height) {
    return readTextureLevel0<uint8_t>(texture, GL_UNSIGNED_BYTE, width, height);
}

std::vector<float> readTextureFloats(uint32_t texture, int32_t* width, int32_t* height) {
    return readTextureLevel0<float>(texture, GL_FLOAT, width, height);
}

uint32_t bindTextureFramebuffer(uint32_t texture) {
    GLuint framebuffer = 0;
    GLX(glGenFramebuffers)(1, &framebuffer);
    GLX(glBindFramebuffer)(GL_FRAMEBUFFER, framebuffer);
    GLX(glFramebufferTexture)(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, texture, 0);
    const GLenum drawBuffer = GL_COLOR_ATTACHMENT0;
    GLX(glDrawBuffers)(1, &drawBuffer);
    return framebuffer;
}

std::vector<uint8_t> readFramebuffer(int32_t x, int32_t y, int32_t width, int32_t height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}
