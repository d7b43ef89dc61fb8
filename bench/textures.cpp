// Start-up cost of the input textures: the glyph atlas (rasterise and distance field, no GL) and
// the noise fills.
#include "renderer/distance_field.h"
#include "renderer/glyph_atlas.h"
#include "renderer/noise_textures.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

RendererSettings defaultSettings() {
    RendererSettings settings{};
    setRendererSettingsDefaults(&settings);
    return settings;
}

void GlyphAtlasBuild(benchmark::State& state) {
    const RendererSettings settings = defaultSettings();
    std::vector<uint8_t> pixels(kGlyphAtlasBytes);
    for (auto _ : state) {
        std::fill(pixels.begin(), pixels.end(), 0);
        benchmark::DoNotOptimize(renderGlyphAtlasTexels(pixels.data(), &settings, nullptr));
    }
}
BENCHMARK(GlyphAtlasBuild)->Unit(benchmark::kMillisecond);

void GlyphAtlasRasterise(benchmark::State& state) {
    const RendererSettings settings = defaultSettings();
    std::vector<uint8_t> pixels(kGlyphAtlasBytes);
    for (auto _ : state) {
        std::fill(pixels.begin(), pixels.end(), 0);
        rasteriseGlyphAtlas(pixels.data(), settings.glyphFaceName, nullptr);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(GlyphAtlasRasterise)->Unit(benchmark::kMillisecond);

void GlyphAtlasDistanceField(benchmark::State& state) {
    const RendererSettings settings = defaultSettings();
    std::vector<uint8_t> coverage(kGlyphAtlasBytes);
    rasteriseGlyphAtlas(coverage.data(), settings.glyphFaceName, nullptr);
    std::vector<uint8_t> pixels(kGlyphAtlasBytes);
    for (auto _ : state) {
        pixels = coverage;
        benchmark::DoNotOptimize(
            convertToDistanceField(pixels.data(), kGlyphAtlasSize, kGlyphAtlasSize, kGlyphCellStep));
    }
}
BENCHMARK(GlyphAtlasDistanceField)->Unit(benchmark::kMillisecond);

template <void (*Fill)(uint8_t*), int32_t Bytes>
void NoiseFill(benchmark::State& state) {
    std::vector<uint8_t> texels(Bytes);
    for (auto _ : state) {
        Fill(texels.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * Bytes);
}
BENCHMARK(NoiseFill<fillGrayNoise2D, kNoiseBytes2D>)->Name("NoiseFillGray2D")->Unit(benchmark::kMicrosecond);
BENCHMARK(NoiseFill<fillColorNoise2D, kNoiseBytes2D>)
    ->Name("NoiseFillColor2D")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(NoiseFill<fillGrayNoise3D, kNoiseBytes3D>)->Name("NoiseFillGray3D")->Unit(benchmark::kMicrosecond);
BENCHMARK(NoiseFill<fillColorNoise3D, kNoiseBytes3D>)
    ->Name("NoiseFillColor3D")
    ->Unit(benchmark::kMicrosecond);

} // namespace
