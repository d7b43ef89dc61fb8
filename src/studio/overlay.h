// The studio's overlay: a panel of status lines and a timeline strip along the bottom, drawn over
// the picture at the window's own resolution.
#pragma once

#include "studio/transport.h"

#include <cstdint>
#include <string>
#include <vector>

// Where the timeline strip lies in a window of that size (pixels, top row 0).
struct TimelineLayout {
    int32_t left, top, width, height;
};
TimelineLayout timelineLayout(int32_t windowWidth, int32_t windowHeight);
// True when a press at (x, y) lands on the strip (or just around it).
bool onTimeline(const TimelineLayout& layout, int32_t x, int32_t y);

// What the strip shows besides the scene starts and the loop.
struct TimelineMarks {
    std::vector<float> flashes; // the keys of "fadetime"
};

// Frees the font and the panel's texture (drawOverlay makes them as it needs them).
void closeOverlay();
// Draws the panel with `lines` (top left; empty without a font) and the strip over whatever the
// window shows. Leaves the GL state as the frame pass expects it.
void drawOverlay(const std::vector<std::string>& lines, const TransportState& transport,
                 const StudioTimeline& timeline, const TimelineMarks& marks, int32_t windowWidth,
                 int32_t windowHeight);
