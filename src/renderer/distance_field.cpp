#include "renderer/distance_field.h"

#include "base/memory.h"

#include <cmath>
#include <cstddef>

namespace {

// The glyph cell size the encodings are tuned for: distances are scaled to it.
constexpr float kReferenceTileSize = 64.0f;

// Cell edges: E0 top (a to b), E1 right (b to c), E2 bottom (c to d), E3 left (d to a).
struct Segment {
    int8_t start, end;
};
struct CellCase {
    int8_t count;
    Segment segments[2];
};
// Indexed by the case: bit 0 a, bit 1 b, bit 2 c, bit 3 d set when that corner is below the level.
// Only the start of each segment becomes a contour point; the ends name the contour's direction.
constexpr CellCase kCellCases[16] = {
    {0, {}},       {1, {{3, 0}}}, {1, {{0, 1}}}, {1, {{3, 1}}}, {1, {{1, 2}}},         {2, {{3, 0}, {1, 2}}},
    {1, {{0, 2}}}, {1, {{3, 2}}}, {1, {{2, 3}}}, {1, {{2, 0}}}, {2, {{0, 1}, {2, 3}}}, {1, {{2, 1}}},
    {1, {{1, 3}}}, {1, {{1, 0}}}, {1, {{0, 3}}}, {0, {}},
};

ContourPoint edgePoint(int32_t edge, int32_t x, int32_t y, const float corner[4]) {
    // Corners in the order a (x, y), b (x+1, y), c (x+1, y+1), d (x, y+1); edge e runs from
    // corner e to corner e + 1.
    static constexpr int32_t kCornerX[4] = {0, 1, 1, 0};
    static constexpr int32_t kCornerY[4] = {0, 0, 1, 1};
    int32_t from = edge, to = (edge + 1) & 3;
    float t = (kContourLevel - corner[from]) / (corner[to] - corner[from]);
    float px = static_cast<float>(x + kCornerX[from]), py = static_cast<float>(y + kCornerY[from]);
    float qx = static_cast<float>(x + kCornerX[to]), qy = static_cast<float>(y + kCornerY[to]);
    return {px + t * (qx - px), py + t * (qy - py)};
}

uint8_t encodeClamped(float value) {
    if (!(value > 0.0f)) return 0;
    if (value >= 255.0f) return 255;
    return static_cast<uint8_t>(value);
}

struct Scratch {
    float* coverage;
    float* distance; // squared, then signed
    ContourPoint* points;
    int32_t capacity;
};

constexpr int32_t kBlock = 16;

void convertTile(uint8_t* origin, int32_t rowBytes, int32_t size, const Scratch& scratch) {
    float* coverage = scratch.coverage;
    float* distance = scratch.distance;
    for (int32_t y = 0; y < size; ++y)
        for (int32_t x = 0; x < size; ++x) coverage[y * size + x] = origin[y * rowBytes + x * 4];

    int32_t count = findContourPoints(coverage, size, scratch.points, scratch.capacity);

    // Brute force: every contour point against every texel of the tile.
    const float farthest = 2.25f * static_cast<float>(size) * static_cast<float>(size);
    for (int32_t i = 0; i < size * size; ++i) distance[i] = farthest;
    for (int32_t n = 0; n < count; ++n) {
        const ContourPoint p = scratch.points[n];
        for (int32_t y = 0; y < size; ++y) {
            float dy = p.y - static_cast<float>(y);
            float dy2 = dy * dy;
            float* row = distance + y * size;
            // Blocks of a fixed width let the compiler keep the block in vector registers.
            int32_t x = 0;
            for (; x + kBlock <= size; x += kBlock)
                for (int32_t k = 0; k < kBlock; ++k) {
                    float dx = p.x - static_cast<float>(x + k);
                    float d = dx * dx + dy2;
                    row[x + k] = d < row[x + k] ? d : row[x + k];
                }
            for (; x < size; ++x) {
                float dx = p.x - static_cast<float>(x);
                float d = dx * dx + dy2;
                row[x] = d < row[x] ? d : row[x];
            }
        }
    }

    const float scale = kReferenceTileSize / static_cast<float>(size);
    for (int32_t i = 0; i < size * size; ++i) {
        float s = std::sqrt(distance[i]) * scale;
        distance[i] = coverage[i] < kContourLevel ? s : -s;
    }

    const float gradientScale = static_cast<float>(size) * 0.98828125f;
    auto at = [&](int32_t x, int32_t y) {
        x = x < 0 ? 0 : x >= size ? size - 1 : x;
        y = y < 0 ? 0 : y >= size ? size - 1 : y;
        return distance[y * size + x];
    };
    for (int32_t y = 0; y < size; ++y)
        for (int32_t x = 0; x < size; ++x) {
            float s = distance[y * size + x];
            float gx = at(x + 1, y) - at(x - 1, y);
            float gy = at(x, y + 1) - at(x, y - 1);
            float sign = s > 0.0f ? 1.0f : s < 0.0f ? -1.0f : 0.0f;
            uint8_t* texel = origin + y * rowBytes + x * 4;
            texel[1] = encodeClamped(gx * gradientScale + 128.0f);
            texel[2] = encodeClamped(gy * gradientScale + 128.0f);
            texel[3] = encodeClamped(sign * std::sqrt(std::fabs(s)) * 16.0f + 128.0f);
        }
}

} // namespace

int32_t findContourPoints(const float* coverage, int32_t size, ContourPoint* points, int32_t capacity) {
    int32_t count = 0;
    for (int32_t y = 0; y + 1 < size; ++y)
        for (int32_t x = 0; x + 1 < size; ++x) {
            const float corner[4] = {coverage[y * size + x], coverage[y * size + x + 1],
                                     coverage[(y + 1) * size + x + 1], coverage[(y + 1) * size + x]};
            int32_t index = 0;
            for (int32_t k = 0; k < 4; ++k)
                if (corner[k] < kContourLevel) index |= 1 << k;
            const CellCase& cell = kCellCases[index];
            for (int32_t s = 0; s < cell.count && count < capacity; ++s)
                points[count++] = edgePoint(cell.segments[s].start, x, y, corner);
        }
    return count;
}

uint8_t* convertToDistanceField(uint8_t* texels, int32_t width, int32_t height, int32_t tileSize) {
    if (tileSize < 1) return texels;
    const size_t area = static_cast<size_t>(tileSize) * tileSize;
    Scratch scratch{};
    scratch.capacity = maxContourSegments(tileSize);
    scratch.coverage = static_cast<float*>(memAlloc(area * sizeof(float)));
    scratch.distance = static_cast<float*>(memAlloc(area * sizeof(float)));
    scratch.points = static_cast<ContourPoint*>(
        memAlloc(static_cast<size_t>(scratch.capacity + 1) * sizeof(ContourPoint)));
    uint8_t* result = nullptr;
    if (scratch.coverage && scratch.distance && scratch.points) {
        const int32_t rowBytes = width * 4;
        for (int32_t tileY = 0; tileY + tileSize <= height; tileY += tileSize)
            for (int32_t tileX = 0; tileX + tileSize <= width; tileX += tileSize)
                convertTile(texels + static_cast<size_t>(tileY) * rowBytes + tileX * 4, rowBytes, tileSize,
                            scratch);
        result = texels;
    }
    memFree(scratch.points);
    memFree(scratch.distance);
    memFree(scratch.coverage);
    return result;
}
