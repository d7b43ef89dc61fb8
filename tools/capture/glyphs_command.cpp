// quorlax-capture glyphs: draws the glyph atlas's characters with this system's rasteriser, before
// the distance-field conversion, and writes their coverage as a greyscale PGM image. The same
// command on two systems shows whether their rasterisers place every character in its cell.
#include "capture/commands.h"

#include "framework/memory.h"
#include "renderer/glyph_atlas.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

const char* const kGlyphsUsage =
    "  glyphs [--face NAME] OUT.pgm\n"
    "      Draws the 256 character codes as the glyph atlas lays them out (face \"Courier New\"\n"
    "      unless NAME is given) and writes their coverage as a 1024 x 1024 binary PGM, top row first.";

namespace {

int usageError(const char* message, const char* detail) {
    std::fprintf(stderr, "quorlax-capture glyphs: %s%s\n%s\n", message, detail, kGlyphsUsage);
    return kExitUsage;
}

} // namespace

int runGlyphsCommand(int argc, char** argv) {
    const char* path = nullptr;
    const char* face = "Courier New";
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("usage: quorlax-capture\n%s\n", kGlyphsUsage);
            return kExitDone;
        }
        if (std::strcmp(argv[i], "--face") == 0) {
            if (i + 1 >= argc) return usageError("--face needs a face name", "");
            face = argv[++i];
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return usageError("unknown option ", argv[i]);
        } else if (path) {
            return usageError("more than one output path: ", argv[i]);
        } else {
            path = argv[i];
        }
    }
    if (!path) return usageError("no output path given", "");
    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        std::fprintf(stderr, "quorlax-capture glyphs: cannot write '%s': %s\n", path, std::strerror(errno));
        return kExitUsage;
    }
    auto* pixels = static_cast<uint8_t*>(memAlloc(kGlyphAtlasBytes));
    if (!pixels) {
        std::fclose(file);
        std::fprintf(stderr, "quorlax-capture glyphs: out of memory\n");
        return kExitFailed;
    }
    rasteriseGlyphAtlas(pixels, face, nullptr);
    // The coverage is in the R channel of each RGBA pixel.
    for (int32_t i = 0; i < kGlyphAtlasSize * kGlyphAtlasSize; ++i) pixels[i] = pixels[i * 4];
    std::fprintf(file, "P5\n%d %d\n255\n", kGlyphAtlasSize, kGlyphAtlasSize);
    const size_t count = size_t(kGlyphAtlasSize) * kGlyphAtlasSize;
    const bool written = std::fwrite(pixels, 1, count, file) == count;
    memFree(pixels);
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "quorlax-capture glyphs: writing '%s' failed\n", path);
        return kExitFailed;
    }
    return kExitDone;
}
