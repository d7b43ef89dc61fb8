#include "renderer/glyph_atlas.h"

#include "base/memory.h"
#include "platform/platform.h"
#include "renderer/distance_field.h"
#include "renderer/gl_entries.h"
#include "renderer/texture_upload.h"

#include <algorithm>

namespace {

void flipRows(uint8_t* pixels, int32_t width, int32_t height) {
    const int32_t rowBytes = width * 4;
    for (int32_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(pixels + top * rowBytes, pixels + (top + 1) * rowBytes, pixels + bottom * rowBytes);
}

} // namespace

void rasteriseGlyphAtlas(uint8_t* pixels, const char* faceName, void* referenceContext) {
    PlatformServices* platform = platformServices();
    GlyphFont* font = platform->openGlyphFont(referenceContext, faceName, kGlyphCellHeight, 1, 1);
    if (!font) return;
    const GlyphCanvas canvas = {pixels, kGlyphAtlasSize, kGlyphAtlasSize, kGlyphAtlasSize * 4, 4};
    int32_t x0 = 0, y0 = 0;
    int32_t alignment = GlyphAlignLeftTop;
    // 257 passes: the last one wraps to code 0 again, one row below the canvas, and draws nothing.
    for (int32_t c = 0; c <= 256; ++c) {
        int32_t x = static_cast<int32_t>(static_cast<float>(x0) + 5.0f) + kGlyphTextOffsetX;
        platform->drawGlyph(font, &canvas, c & 0xFF, x, y0 + kGlyphTextOffsetY, alignment);
        // Only the first code keeps the default left alignment.
        alignment = GlyphAlignCentreTop;
        if (x0 + kGlyphCellStep < kGlyphAtlasSize) {
            x0 += kGlyphCellStep;
        } else {
            x0 = 0;
            y0 += kGlyphCellStep;
        }
    }
    platform->closeGlyphFont(font);
}

int32_t renderGlyphAtlasTexels(uint8_t* pixels, const RendererSettings* settings, void* deviceContext) {
    rasteriseGlyphAtlas(pixels, settings->glyphFaceName, deviceContext);
    if (!convertToDistanceField(pixels, kGlyphAtlasSize, kGlyphAtlasSize, kGlyphCellStep)) return 0;
    flipRows(pixels, kGlyphAtlasSize, kGlyphAtlasSize);
    return 1;
}

int32_t buildGlyphAtlas(RenderTargets* targets, const RendererSettings* settings, void* deviceContext) {
    auto* pixels = static_cast<uint8_t*>(memAlloc(kGlyphAtlasBytes));
    if (!pixels) return 0;
    int32_t result = 0;
    if (renderGlyphAtlasTexels(pixels, settings, deviceContext)) {
        glGenTextures(1, &targets->glyphAtlas);
        glBindTexture(GL_TEXTURE_2D, targets->glyphAtlas);
        result = uploadTexels(GL_TEXTURE_2D, settings->textureFormatSelector, kGlyphAtlasSize,
                              kGlyphAtlasSize, 0, pixels);
    }
    memFree(pixels);
    return result;
}
