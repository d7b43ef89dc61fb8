#include "platform/linux/glyph_rasteriser.h"

#include "base/memory.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstring>

struct GlyphFont {
    FT_Library library;
    FT_Face face;
    int32_t ascent;           // pixels from the top of the character cell to the baseline
    int32_t emboldenOutlines; // bold was asked for and the face found is not bold
    int32_t antialias;
};

namespace {

// Windows-1252 puts printable characters where Latin-1 has controls (0x80 to 0x9F).
constexpr uint16_t kAnsiHighRange[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void copyBounded(char* destination, size_t size, const char* source) {
    if (size == 0) return;
    std::strncpy(destination, source, size - 1);
    destination[size - 1] = '\0';
}

// GDI sizes a font by its Windows ascent and descent; other faces fall back to the typographic ones.
void verticalExtent(FT_Face face, double* ascent, double* descent) {
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        *ascent = os2->usWinAscent;
        *descent = os2->usWinDescent;
    } else {
        *ascent = face->ascender;
        *descent = -face->descender;
    }
}

uint8_t coverageAt(const FT_Bitmap& bitmap, int32_t row, int32_t column) {
    int32_t pitch = bitmap.pitch;
    const uint8_t* line = pitch >= 0 ? bitmap.buffer + row * pitch
                                     : bitmap.buffer + (static_cast<int32_t>(bitmap.rows) - 1 - row) * -pitch;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
        return (line[column >> 3] >> (7 - (column & 7))) & 1 ? 255 : 0;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) return line[column];
    return 0;
}

} // namespace

uint32_t unicodeForAnsiCode(int32_t code) {
    code &= 0xFF;
    if (code >= 0x80 && code < 0xA0) return kAnsiHighRange[code - 0x80];
    return static_cast<uint32_t>(code);
}

int32_t matchGlyphFace(FcConfig* config, const char* faceName, int32_t bold, char* family, size_t familySize,
                       char* path, size_t pathSize, int32_t* faceIndex) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return 0;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName ? faceName : ""));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    // Ranked after the family: it only decides when the named face is missing.
    FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return 0;
    FcChar8* file = nullptr;
    FcChar8* name = nullptr;
    int index = 0;
    int32_t found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
    if (found) {
        copyBounded(path, pathSize, reinterpret_cast<const char*>(file));
        if (FcPatternGetString(match, FC_FAMILY, 0, &name) != FcResultMatch) name = nullptr;
        copyBounded(family, familySize, name ? reinterpret_cast<const char*>(name) : "");
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
        *faceIndex = index;
    }
    FcPatternDestroy(match);
    return found;
}

// Fontconfig is only needed to find the face's file. The lookup loads a configuration of its own
// and destroys it after the call, so nothing of it outlives the call; the library's global state
// is left alone, since other users in the process (GTK's dialog, through Pango) keep using it and
// FcFini under them aborts.
int32_t resolveGlyphFace(const char* faceName, int32_t bold, char* family, size_t familySize, char* path,
                         size_t pathSize, int32_t* faceIndex) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return 0;
    const int32_t found =
        matchGlyphFace(config, faceName, bold, family, familySize, path, pathSize, faceIndex);
    FcConfigDestroy(config);
    return found;
}

GlyphFont* linuxOpenGlyphFont(void*, const char* faceName, int32_t cellHeight, int32_t bold,
                              int32_t antialias) {
    char family[128];
    char path[1024];
    int32_t index = 0;
    if (cellHeight <= 0 ||
        !resolveGlyphFace(faceName, bold, family, sizeof family, path, sizeof path, &index))
        return nullptr;
    auto* font = static_cast<GlyphFont*>(memAlloc(sizeof(GlyphFont)));
    if (!font) return nullptr;
    if (FT_Init_FreeType(&font->library) != 0) {
        memFree(font);
        return nullptr;
    }
    double ascent = 0.0, descent = 0.0;
    if (FT_New_Face(font->library, path, index, &font->face) != 0 || !FT_IS_SCALABLE(font->face) ||
        (verticalExtent(font->face, &ascent, &descent), ascent + descent <= 0.0)) {
        linuxCloseGlyphFont(font);
        return nullptr;
    }
    // A cell height, not an em height: the em is scaled so that ascent plus descent fill it.
    double extent = ascent + descent;
    double emPixels = cellHeight * font->face->units_per_EM / extent;
    if (FT_Set_Char_Size(font->face, 0, static_cast<FT_F26Dot6>(std::lround(emPixels * 64.0)), 72, 72) != 0) {
        linuxCloseGlyphFont(font);
        return nullptr;
    }
    font->ascent = static_cast<int32_t>(std::lround(cellHeight * ascent / extent));
    font->emboldenOutlines = bold && !(font->face->style_flags & FT_STYLE_FLAG_BOLD);
    font->antialias = antialias;
    return font;
}

void linuxDrawGlyph(GlyphFont* font, const GlyphCanvas* canvas, int32_t code, int32_t x, int32_t y,
                    int32_t alignment) {
    if (!font || !canvas || !canvas->pixels) return;
    FT_Face face = font->face;
    FT_UInt glyph = FT_Get_Char_Index(face, unicodeForAnsiCode(code));
    if (glyph == 0) return;
    if (FT_Load_Glyph(face, glyph, font->antialias ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO) != 0)
        return;
    if (font->emboldenOutlines) FT_GlyphSlot_Embolden(face->glyph);
    if (FT_Render_Glyph(face->glyph, font->antialias ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0)
        return;

    const FT_GlyphSlot slot = face->glyph;
    const int32_t advance = static_cast<int32_t>((slot->advance.x + 32) >> 6);
    const int32_t penX = alignment == GlyphAlignCentreTop ? x - advance / 2 : x;
    const int32_t left = penX + slot->bitmap_left;
    const int32_t top = y + font->ascent - slot->bitmap_top;
    const FT_Bitmap& bitmap = slot->bitmap;
    for (int32_t row = 0; row < static_cast<int32_t>(bitmap.rows); ++row) {
        int32_t py = top + row;
        if (py < 0 || py >= canvas->height) continue;
        for (int32_t column = 0; column < static_cast<int32_t>(bitmap.width); ++column) {
            int32_t px = left + column;
            if (px < 0 || px >= canvas->width) continue;
            uint32_t value = coverageAt(bitmap, row, column);
            uint8_t* pixel = canvas->pixels + static_cast<int64_t>(py) * canvas->rowBytes +
                             static_cast<int64_t>(px) * canvas->pixelBytes;
            // White over what is there: the background shows through only where coverage is partial.
            *pixel = static_cast<uint8_t>(*pixel + ((255u - *pixel) * value + 127u) / 255u);
        }
    }
}

void linuxCloseGlyphFont(GlyphFont* font) {
    if (!font) return;
    if (font->face) FT_Done_Face(font->face);
    if (font->library) FT_Done_FreeType(font->library);
    memFree(font);
}
