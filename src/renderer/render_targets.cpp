#include "renderer/render_targets.h"
#include "renderer/gl_entries.h"

int32_t textureFormatFor(int32_t selector, int32_t* internalFormat, uint32_t* pixelType) {
    switch (selector) {
    case TextureFormatRgba8:
        *internalFormat = GL_RGBA, *pixelType = GL_UNSIGNED_BYTE;
        return 1;
    case TextureFormatRgba16F:
        *internalFormat = GL_RGBA16F, *pixelType = GL_HALF_FLOAT;
        return 1;
    case TextureFormatRgba32F:
        *internalFormat = GL_RGBA32F, *pixelType = GL_FLOAT;
        return 1;
    default:
        return 0;
    }
}

int32_t createRenderTargets(RenderTargets* targets, const RendererSettings* settings, int32_t width,
                            int32_t height) {
    GLX(glGenFramebuffers)(1, &targets->framebuffer);
    int32_t internalFormat = 0;
    uint32_t pixelType = 0;
    for (int32_t set = 0; set < kTargetSets; ++set) {
        glGenTextures(kTargetsPerSet, targets->targets[set]);
        for (int32_t index = 0; index < kTargetsPerSet; ++index) {
            if (!textureFormatFor(settings->textureFormatSelector, &internalFormat, &pixelType)) return 0;
            glBindTexture(GL_TEXTURE_2D, targets->targets[set][index]);
            glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, GL_RGBA, pixelType, nullptr);
        }
    }
    return 1;
}

void destroyRenderTargets(RenderTargets* targets) {
    GLX(glBindFramebuffer)(GL_FRAMEBUFFER, 0);
    GLX(glDeleteFramebuffers)(1, &targets->framebuffer);
    for (int32_t set = 0; set < kTargetSets; ++set) {
        for (int32_t unit = 0; unit < kTargetsPerSet; ++unit) {
            GLX(glActiveTexture)(GL_TEXTURE0 + unit);
            glBindTexture(GL_TEXTURE_2D, 0);
        }
        glDeleteTextures(kTargetsPerSet, targets->targets[set]);
    }
}

void applySampling(uint32_t target, int32_t filter, int32_t wrap, int32_t mipmaps) {
    // Only 0 and 1 occur in the settings; anything else samples linearly.
    GLint minFilter, magFilter;
    if (filter == 0) {
        minFilter = mipmaps ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST;
        magFilter = GL_NEAREST;
    } else {
        minFilter = mipmaps ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR;
        magFilter = GL_LINEAR;
    }
    GLint wrapMode = wrap == 1 ? GL_CLAMP_TO_EDGE : wrap == 2 ? GL_MIRRORED_REPEAT : GL_REPEAT;
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, magFilter);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, wrapMode);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, wrapMode);
    glTexParameteri(target, GL_TEXTURE_WRAP_R, wrapMode);
}
