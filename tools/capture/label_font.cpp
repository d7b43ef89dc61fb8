#include "capture/label_font.h"

#include <cstring>

namespace {

// Five rows of three bits each, the top row in the highest bits.
constexpr uint16_t glyphRows(int a, int b, int c, int d, int e) {
    return uint16_t(a << 12 | b << 9 | c << 6 | d << 3 | e);
}

struct Glyph {
    char character;
    uint16_t rows;
};

constexpr Glyph kGlyphs[] = {
    {'0', glyphRows(07, 05, 05, 05, 07)}, {'1', glyphRows(02, 06, 02, 02, 07)},
    {'2', glyphRows(07, 01, 07, 04, 07)}, {'3', glyphRows(07, 01, 07, 01, 07)},
    {'4', glyphRows(05, 05, 07, 01, 01)}, {'5', glyphRows(07, 04, 07, 01, 07)},
    {'6', glyphRows(07, 04, 07, 05, 07)}, {'7', glyphRows(07, 01, 01, 01, 01)},
    {'8', glyphRows(07, 05, 07, 05, 07)}, {'9', glyphRows(07, 05, 07, 01, 07)},
    {'S', glyphRows(07, 04, 07, 01, 07)}, {'C', glyphRows(07, 04, 04, 04, 07)},
    {'E', glyphRows(07, 04, 06, 04, 07)}, {'N', glyphRows(05, 07, 07, 05, 05)},
    {'T', glyphRows(07, 02, 02, 02, 02)}, {'I', glyphRows(07, 02, 02, 02, 07)},
    {'K', glyphRows(05, 05, 06, 05, 05)},
};

uint16_t glyphOf(char character) {
    for (const Glyph& glyph : kGlyphs)
        if (glyph.character == character) return glyph.rows;
    return 0;
}

} // namespace

int labelWidth(const char* text, int scale) {
    const int characters = static_cast<int>(std::strlen(text));
    return characters > 0 ? (characters * 4 - 1) * scale : 0;
}

void drawLabel(uint8_t* rgba, int width, int height, int x, int y, int scale, const char* text,
               const uint8_t rgb[3]) {
    for (int index = 0; text[index] != '\0'; ++index) {
        const uint16_t rows = glyphOf(text[index]);
        for (int row = 0; row < 5; ++row)
            for (int column = 0; column < 3; ++column) {
                if (!(rows >> ((4 - row) * 3 + (2 - column)) & 1)) continue;
                for (int dy = 0; dy < scale; ++dy)
                    for (int dx = 0; dx < scale; ++dx) {
                        const int px = x + (index * 4 + column) * scale + dx, py = y + row * scale + dy;
                        if (px < 0 || py < 0 || px >= width || py >= height) continue;
                        std::memcpy(&rgba[(static_cast<size_t>(py) * width + px) * 4], rgb, 3);
                    }
            }
    }
}
