#include "renderer/records.h"

#include "base/text.h"

#include <bit>
#include <initializer_list>

namespace {

RendererRecords records;

// 3.14159203: the single-precision value just below pi.
constexpr uint32_t kBaseAngleBits = 0x40490FD8u;

constexpr TextureSampling kDefaultSampling = {0, 1, 1, 1};

} // namespace

void setRendererSettingsDefaults(RendererSettings* settings) {
    for (TextureSampling* sampling :
         {&settings->glyphAtlasSampling, &settings->grayNoise2DSampling, &settings->colorNoise2DSampling,
          &settings->grayNoise3DSampling, &settings->colorNoise3DSampling})
        *sampling = kDefaultSampling;
    settings->renderTargetSampling = {settings->renderTargetSampling.enabled, 1, 1, 1};

    settings->textureFormatSelector = TextureFormatRgba8;
    settings->useMultipleTargets = 1;
    settings->colorAttachmentCount = 4;
    settings->bindRenderTargets = 1;
    settings->glyphAtlasSampling = {1, 1, 1, 1};
    settings->grayNoise2DSampling = {1, 1, 1, 0};
    settings->colorNoise2DSampling = {1, 1, 1, 0};
    settings->grayNoise3DSampling = {1, 1, 1, 0};
    settings->colorNoise3DSampling = {1, 1, 1, 0};
    settings->renderTargetSampling = {1, 1, 1, 1};
    settings->swapControl = 1;
    settings->swapMode = 2;
    copyTextBounded(settings->glyphFaceName, "Courier New", sizeof settings->glyphFaceName - 1);
}

void setViewInputDefaults(ViewInput* view) {
    view->pointerX = view->pointerY = 0;
    view->buttons[0] = view->buttons[1] = view->buttons[2] = 0;
    view->baseAngle = std::bit_cast<float>(kBaseAngleBits);
    view->fieldOfView = view->baseAngle * 0.125f;
    setIdentity4x4(view->cameraMatrix);
    setIdentity4x4(view->previousCameraMatrix);
    clearBytes(view->vectors, sizeof view->vectors);
}

void initRenderTargetsRecord(RenderTargets* targets) {
    targets->framebuffer = 0xFFFFFFFFu;
    targets->parameterHook = nullptr;
    targets->writtenOutputs = 0;
}

RendererRecords* rendererRecords() {
    return &records;
}
