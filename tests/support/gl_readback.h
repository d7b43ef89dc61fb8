// Pixels read back from GL textures and framebuffers (a current context with the entry table
// loaded), for the tests and benchmarks.
#pragma once

#include <cstdint>
#include <vector>

// RGBA8 pixels of a 2D texture's level 0, rows bottom first.
std::vector<uint8_t> readTexture(uint32_t texture, int32_t* width = nullptr, int32_t* height = nullptr);
// RGBA floats of a 2D texture's level 0, rows bottom first.
std::vector<float> readTextureFloats(uint32_t texture, int32_t* width = nullptr, int32_t* height = nullptr);
// A new framebuffer drawing into `texture` alone, left bound; the caller deletes it.
uint32_t bindTextureFramebuffer(uint32_t texture);
// RGBA8 pixels of the default framebuffer's colour buffer over x, y, w, h.
std::vector<uint8_t> readFramebuffer(int32_t x, int32_t y, int32_t width, int32_t height);
