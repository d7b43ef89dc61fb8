// The Windows glyph rasteriser: GDI draws each character into a memory bitmap.
#pragma once

#include "platform/platform.h"

GlyphFont* win32OpenGlyphFont(void* referenceContext, const char* faceName, int32_t cellHeight, int32_t bold,
                              int32_t antialias);
void win32DrawGlyph(GlyphFont* font, const GlyphCanvas* canvas, int32_t code, int32_t x, int32_t y,
                    int32_t alignment);
void win32CloseGlyphFont(GlyphFont* font);
