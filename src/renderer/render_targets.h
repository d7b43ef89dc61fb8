// The two sets of render targets, their texture formats and sampling.
#pragma once

#include "renderer/records.h"

#include <cstdint>

// Two sets of four W x H colour targets and the framebuffer; 0 when the format selector is unknown
// (creation stops there).
int32_t createRenderTargets(RenderTargets* targets, const RendererSettings* settings, int32_t width,
                            int32_t height);
void destroyRenderTargets(RenderTargets* targets);

// Sampling of the texture bound to `target` (GL_TEXTURE_2D or GL_TEXTURE_3D).
void applySampling(uint32_t target, int32_t filter, int32_t wrap, int32_t mipmaps);

// Internal format and pixel type for a selector; 0 when the selector is unknown.
int32_t textureFormatFor(int32_t selector, int32_t* internalFormat, uint32_t* pixelType);
