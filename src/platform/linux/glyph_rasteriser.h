// The Linux glyph rasteriser: FreeType draws, fontconfig resolves face names to font files.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>

GlyphFont* linuxOpenGlyphFont(void* referenceContext, const char* faceName, int32_t cellHeight, int32_t bold,
                              int32_t antialias);
void linuxDrawGlyph(GlyphFont* font, const GlyphCanvas* canvas, int32_t code, int32_t x, int32_t y,
                    int32_t alignment);
void linuxCloseGlyphFont(GlyphFont* font);

// The installed face fontconfig picks for a name (preferring monospaced, bold when asked):
// its family name and file are copied into the buffers. 1 on success, 0 when nothing matches.
int32_t resolveGlyphFace(const char* faceName, int32_t bold, char* family, size_t familySize, char* path,
                         size_t pathSize, int32_t* faceIndex);
// The Unicode character of an 8-bit Windows-1252 code, 0 for the five codes it leaves unassigned.
uint32_t unicodeForAnsiCode(int32_t code);
