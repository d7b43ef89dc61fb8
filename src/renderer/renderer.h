// The renderer's start-up and GPU resources over its records.
#pragma once

#include "renderer/records.h"
#include "renderer/render_targets.h"

#include <cstdint>

// Keeps the view size and the device context, fills the GL entry table; 1 on success, 0 when a
// name does not resolve. The device context is opaque here (null on Linux).
int32_t initRenderer(void* deviceContext, int32_t width, int32_t height);
int32_t viewWidth();
int32_t viewHeight();
void* rendererDeviceContext();

// Render targets, then each enabled input texture, then the frame counter to 0. Always 1.
int32_t createRendererResources(int32_t width, int32_t height);
void destroyRendererResources();
