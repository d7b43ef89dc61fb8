#include "platform/win32/glyph_rasteriser_win32.h"

#include "base/memory.h"

#include <windows.h>

#include <cstring>

// The font lives in a memory context of its own with a scratch bitmap: a 32-bit top-down DIB
// section, so its pixels can be read without GetBitmapBits. Each character is drawn alone into
// the cleared scratch and its blue channel (the text is white: all channels alike) is laid over
// the caller's canvas.
struct GlyphFont {
    HDC memoryContext;
    HFONT font;
    HGDIOBJ previousFont;
    HBITMAP scratch;
    HGDIOBJ previousBitmap;
    uint8_t* scratchPixels;
    int32_t scratchWidth, scratchHeight;
    // Where the pen is put inside the scratch: room for a character's overhang on every side.
    int32_t originX, originY;
};

GlyphFont* win32OpenGlyphFont(void* referenceContext, const char* faceName, int32_t cellHeight, int32_t bold,
                              int32_t antialias) {
    if (cellHeight <= 0 || cellHeight > 4096) return nullptr;
    auto* font = static_cast<GlyphFont*>(memAlloc(sizeof(GlyphFont)));
    if (!font) return nullptr;
    font->memoryContext = CreateCompatibleDC(static_cast<HDC>(referenceContext));
    // A positive height asks for a cell height: ascent plus descent.
    font->font = CreateFontA(cellHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                             ANSI_CHARSET, OUT_OUTLINE_PRECIS, CLIP_DEFAULT_PRECIS,
                             antialias ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY, DEFAULT_PITCH,
                             faceName ? faceName : "");
    font->scratchWidth = cellHeight * 4;
    font->scratchHeight = cellHeight * 2;
    font->originX = cellHeight * 2;
    font->originY = cellHeight / 2;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = font->scratchWidth;
    info.bmiHeader.biHeight = -font->scratchHeight; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    if (font->memoryContext)
        font->scratch = CreateDIBSection(font->memoryContext, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    font->scratchPixels = static_cast<uint8_t*>(bits);
    if (!font->memoryContext || !font->font || !font->scratch || !bits) {
        win32CloseGlyphFont(font);
        return nullptr;
    }
    font->previousBitmap = SelectObject(font->memoryContext, font->scratch);
    font->previousFont = SelectObject(font->memoryContext, font->font);
    SetBkMode(font->memoryContext, TRANSPARENT);
    SetTextColor(font->memoryContext, RGB(255, 255, 255));
    return font;
}

void win32DrawGlyph(GlyphFont* font, const GlyphCanvas* canvas, int32_t code, int32_t x, int32_t y,
                    int32_t alignment) {
    if (!font || !canvas || !canvas->pixels) return;
    const size_t scratchBytes = size_t(font->scratchWidth) * font->scratchHeight * 4;
    GdiFlush();
    std::memset(font->scratchPixels, 0, scratchBytes);
    SetTextAlign(font->memoryContext,
                 alignment == GlyphAlignCentreTop ? TA_CENTER | TA_TOP : TA_LEFT | TA_TOP);
    const char character = static_cast<char>(code & 0xFF);
    TextOutA(font->memoryContext, font->originX, font->originY, &character, 1);
    GdiFlush();

    const int32_t left = x - font->originX, top = y - font->originY;
    for (int32_t row = 0; row < font->scratchHeight; ++row) {
        const int32_t py = top + row;
        if (py < 0 || py >= canvas->height) continue;
        const uint8_t* source = font->scratchPixels + size_t(row) * font->scratchWidth * 4;
        for (int32_t column = 0; column < font->scratchWidth; ++column) {
            const uint32_t value = source[column * 4];
            const int32_t px = left + column;
            if (value == 0 || px < 0 || px >= canvas->width) continue;
            uint8_t* pixel =
                canvas->pixels + int64_t(py) * canvas->rowBytes + int64_t(px) * canvas->pixelBytes;
            // White over what is there: the background shows through only where coverage is partial.
            *pixel = static_cast<uint8_t>(*pixel + ((255u - *pixel) * value + 127u) / 255u);
        }
    }
}

void win32CloseGlyphFont(GlyphFont* font) {
    if (!font) return;
    if (font->memoryContext) {
        if (font->previousFont) SelectObject(font->memoryContext, font->previousFont);
        if (font->previousBitmap) SelectObject(font->memoryContext, font->previousBitmap);
        DeleteDC(font->memoryContext);
    }
    if (font->scratch) DeleteObject(font->scratch);
    if (font->font) DeleteObject(font->font);
    memFree(font);
}
