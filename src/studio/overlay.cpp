#include "studio/overlay.h"

#include "platform/platform.h"
#include "renderer/gl_entries.h"

#include <algorithm>
#include <cstring>

namespace {

// Liberation Mono's advance is 1229 of its 2048 units and its cell (Windows ascent plus descent)
// 2320: 0.53 of the cell height.
constexpr float kAdvancePerCell = 1229.0f / 2320.0f;
constexpr int32_t kPanelMargin = 6;

// The printable characters, drawn once into a texture of cells; the panel is then quads.
constexpr int32_t kFirstCode = 32, kCodeCount = 95, kAtlasColumns = 16;

struct Overlay {
    GlyphFont* font = nullptr;
    int32_t cellHeight = 0, advance = 0;
    GLuint atlas = 0;
    int32_t atlasWidth = 0, atlasHeight = 0;
};

Overlay overlay;

// The cell height that keeps the panel legible from 640 x 360 up.
int32_t cellHeightFor(int32_t windowHeight) {
    return std::clamp(windowHeight / 24, 15, 30);
}

void buildAtlas(int32_t cell) {
    platformServices()->closeGlyphFont(overlay.font);
    overlay.font = platformServices()->openGlyphFont(nullptr, "Liberation Mono", cell, 0, 1);
    overlay.cellHeight = cell;
    overlay.advance = std::max(1, static_cast<int32_t>(float(cell) * kAdvancePerCell + 0.5f));
    if (!overlay.font) return;
    const int32_t rows = (kCodeCount + kAtlasColumns - 1) / kAtlasColumns;
    overlay.atlasWidth = kAtlasColumns * overlay.advance;
    overlay.atlasHeight = rows * cell;
    std::vector<uint8_t> pixels(size_t(overlay.atlasWidth) * size_t(overlay.atlasHeight) * 4, 0);
    const GlyphCanvas canvas = {pixels.data(), overlay.atlasWidth, overlay.atlasHeight,
                                overlay.atlasWidth * 4, 4};
    for (int32_t code = 0; code < kCodeCount; ++code)
        platformServices()->drawGlyph(overlay.font, &canvas, kFirstCode + code,
                                      code % kAtlasColumns * overlay.advance, code / kAtlasColumns * cell,
                                      GlyphAlignLeftTop);
    // White, with the coverage as the opacity.
    for (size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i + 3] = pixels[i];
        pixels[i] = pixels[i + 1] = pixels[i + 2] = 255;
    }
    if (!overlay.atlas) glGenTextures(1, &overlay.atlas);
    GLX(glActiveTexture)(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, overlay.atlas);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, overlay.atlasWidth, overlay.atlasHeight, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, pixels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
}

void drawPanel(const std::vector<std::string>& lines, int32_t windowWidth) {
    const int32_t cell = overlay.cellHeight, advance = overlay.advance;
    size_t longest = 0;
    for (const std::string& line : lines) longest = std::max(longest, line.size());
    const float right =
        float(std::min(windowWidth - kPanelMargin, int32_t(longest) * advance + 3 * kPanelMargin));
    const float bottom = float(int32_t(lines.size()) * cell + 3 * kPanelMargin);
    glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
    glRectf(float(kPanelMargin), float(kPanelMargin), right, bottom);
    if (!overlay.atlas) return;

    GLX(glActiveTexture)(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, overlay.atlas);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    const float cellWidth = float(advance) / float(overlay.atlasWidth);
    const float cellTall = float(cell) / float(overlay.atlasHeight);
    glBegin(GL_QUADS);
    for (size_t row = 0; row < lines.size(); ++row)
        for (size_t column = 0; column < lines[row].size(); ++column) {
            const int32_t code = static_cast<uint8_t>(lines[row][column]) - kFirstCode;
            if (code <= 0 || code >= kCodeCount) continue; // the space, and what the atlas lacks
            const float x = float(2 * kPanelMargin + int32_t(column) * advance);
            const float y = float(2 * kPanelMargin + int32_t(row) * cell);
            if (x + float(advance) > right) break;
            const float u = float(code % kAtlasColumns) * cellWidth,
                        v = float(code / kAtlasColumns) * cellTall;
            glTexCoord2f(u, v);
            glVertex2f(x, y);
            glTexCoord2f(u + cellWidth, v);
            glVertex2f(x + float(advance), y);
            glTexCoord2f(u + cellWidth, v + cellTall);
            glVertex2f(x + float(advance), y + float(cell));
            glTexCoord2f(u, v + cellTall);
            glVertex2f(x, y + float(cell));
        }
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void fillRect(float left, float top, float right, float bottom, float r, float g, float b, float a) {
    glColor4f(r, g, b, a);
    glRectf(left, top, right, bottom);
}

float tickX(const TimelineLayout& layout, float length, float tick) {
    const float fraction = length > 0.0f ? std::clamp(tick / length, 0.0f, 1.0f) : 0.0f;
    return float(layout.left) + fraction * float(layout.width - 1);
}

void drawTimeline(const TransportState& transport, const StudioTimeline& timeline, const TimelineMarks& marks,
                  const TimelineLayout& layout) {
    const float top = float(layout.top), bottom = float(layout.top + layout.height);
    fillRect(float(layout.left), top, float(layout.left + layout.width), bottom, 0.0f, 0.0f, 0.0f, 0.6f);
    if (transport.looping)
        fillRect(tickX(layout, timeline.length, transport.loopFrom), top,
                 tickX(layout, timeline.length, transport.loopTo) + 1.0f, bottom, 0.2f, 0.45f, 1.0f, 0.45f);
    // Flashes: short amber marks along the top half.
    for (float flash : marks.flashes) {
        const float x = tickX(layout, timeline.length, flash);
        fillRect(x, top, x + 1.0f, top + float(layout.height) * 0.45f, 1.0f, 0.7f, 0.1f, 0.9f);
    }
    // Scene starts: white marks the strip's whole height.
    for (float start : timeline.sceneStarts) {
        const float x = tickX(layout, timeline.length, start);
        fillRect(x, top, x + 2.0f, bottom, 1.0f, 1.0f, 1.0f, 0.9f);
    }
    const float playhead = tickX(layout, timeline.length, transport.tick);
    fillRect(playhead - 1.0f, top - 3.0f, playhead + 2.0f, bottom + 1.0f, 1.0f, 0.15f, 0.15f, 1.0f);
}

} // namespace

TimelineLayout timelineLayout(int32_t windowWidth, int32_t windowHeight) {
    const int32_t height = std::max(10, windowHeight / 30);
    const int32_t margin = std::max(4, windowWidth / 80);
    return {margin, windowHeight - height - margin, std::max(2, windowWidth - 2 * margin), height};
}

bool onTimeline(const TimelineLayout& layout, int32_t x, int32_t y) {
    const int32_t slack = layout.height / 2 + 2;
    return x >= layout.left - slack && x < layout.left + layout.width + slack && y >= layout.top - slack &&
           y < layout.top + layout.height + slack;
}

void closeOverlay() {
    platformServices()->closeGlyphFont(overlay.font);
    if (overlay.atlas) glDeleteTextures(1, &overlay.atlas);
    overlay = Overlay{};
}

void drawOverlay(const std::vector<std::string>& lines, const TransportState& transport,
                 const StudioTimeline& timeline, const TimelineMarks& marks, int32_t windowWidth,
                 int32_t windowHeight) {
    const int32_t cell = cellHeightFor(windowHeight);
    if (cell != overlay.cellHeight) buildAtlas(cell);

    glViewport(0, 0, windowWidth, windowHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, windowWidth, windowHeight, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    if (!lines.empty()) drawPanel(lines, windowWidth);
    drawTimeline(transport, timeline, marks, timelineLayout(windowWidth, windowHeight));

    // The scenes' rectangle goes through the fixed vertex stage: identity matrices, no blending.
    glDisable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}
