#include "renderer/renderer.h"

#include "renderer/gl_entries.h"
#include "renderer/glyph_atlas.h"
#include "renderer/noise_textures.h"

namespace {

struct RendererStart {
    int32_t width;
    int32_t height;
    void* deviceContext;
};

RendererStart start;

} // namespace

int32_t initRenderer(void* deviceContext, int32_t width, int32_t height) {
    start.width = width;
    start.height = height;
    if (!loadGlEntryPoints(glEntryTable())) return 0;
    start.deviceContext = deviceContext;
    return 1;
}

int32_t viewWidth() {
    return start.width;
}
int32_t viewHeight() {
    return start.height;
}
void* rendererDeviceContext() {
    return start.deviceContext;
}

int32_t createRendererResources(int32_t width, int32_t height) {
    RenderTargets* targets = rendererRecords()->targets;
    const RendererSettings* settings = rendererRecords()->settings;
    createRenderTargets(targets, settings, width, height);
    // The input textures of units 4 to 8, each when its sampling is enabled; a texture that
    // cannot be made leaves its name 0 and the run goes on.
    if (settings->glyphAtlasSampling.enabled) buildGlyphAtlas(targets, settings, start.deviceContext);
    if (settings->grayNoise2DSampling.enabled) createGrayNoiseTexture2D(targets, settings);
    if (settings->colorNoise2DSampling.enabled) createColorNoiseTexture2D(targets, settings);
    if (settings->grayNoise3DSampling.enabled) createGrayNoiseTexture3D(targets, settings);
    if (settings->colorNoise3DSampling.enabled) createColorNoiseTexture3D(targets, settings);
    targets->frameCount = 0;
    return 1;
}

void destroyRendererResources() {
    RenderTargets* targets = rendererRecords()->targets;
    if (targets->glyphAtlas) {
        GLX(glActiveTexture)(GL_TEXTURE0 + UnitFont);
        glBindTexture(GL_TEXTURE_2D, 0);
        glDeleteTextures(1, &targets->glyphAtlas);
        targets->glyphAtlas = 0;
    }
    destroyRenderTargets(targets);
}
