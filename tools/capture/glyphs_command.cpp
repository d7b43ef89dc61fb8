// quorlax-capture glyphs: draws the glyph atlas's characters with this system's rasteriser, before
// the distance-field conversion, and writes their coverage as a greyscale PGM image. The same
// command on two systems shows whether their rasterisers place every character in its cell.
#include "capture/commands.h"

#include "base/memory.h"
#include "platform/platform.h"
#include "renderer/glyph_atlas.h"

#include <cstdio>
#include <string>

namespace {

constexpr const char* kDefaultFace = "Courier New";

int runGlyphs(const CaptureOptions& options, OutputFile* output) {
    const char* face = options.face ? options.face : kDefaultFace;
    // The atlas of a system without fonts is empty; that is no picture of its rasteriser.
    PlatformServices* platform = platformServices();
    GlyphFont* font = platform->openGlyphFont(nullptr, face, kGlyphCellHeight, 1, 1);
    if (!font) return commandFailure("glyphs", "no font can be opened (the system has none installed?)");
    platform->closeGlyphFont(font);

    const std::string header =
        "P5\n" + std::to_string(kGlyphAtlasSize) + " " + std::to_string(kGlyphAtlasSize) + "\n255\n";
    const size_t count = size_t(kGlyphAtlasSize) * kGlyphAtlasSize;
    auto* pixels = static_cast<uint8_t*>(memAlloc(kGlyphAtlasBytes));
    if (!pixels) return commandFailure("glyphs", "out of memory");
    rasteriseGlyphAtlas(pixels, face, nullptr);
    // The coverage is in the R channel of each RGBA pixel; the header goes in front of it.
    std::string image = header;
    image.resize(header.size() + count);
    for (size_t i = 0; i < count; ++i) image[header.size() + i] = char(pixels[i * 4]);
    memFree(pixels);
    const std::string failure = writeOutputBytes(output, image.data(), image.size());
    if (!failure.empty()) return writeFailure("glyphs", options, failure);
    return kExitDone;
}

} // namespace

const CaptureCommand kGlyphsCapture = {
    .name = "glyphs",
    .bit = kGlyphsCommand,
    .outputs = {".pgm"},
    .summary = "Draws the 256 character codes as the glyph atlas lays them out, as a 1024 x 1024 PGM.",
    .description =
        "Draws the character codes 0 to 255 with this system's glyph rasteriser (bold, antialiased,\n"
        "48 pixels from ascent to descent) in the cells of the glyph atlas, before the distance-field\n"
        "conversion, and writes their coverage to OUT.pgm as a binary greyscale image, top row first.\n"
        "The same command on two systems shows whether their rasterisers place every character in its\n"
        "cell. A system with no font to open fails (exit 1).",
    .run = runGlyphs,
};
