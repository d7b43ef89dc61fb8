// A 3 x 5 pixel font for the labels of the contact sheet: digits, space and the capitals of
// "SCENE" and "TICK".
#pragma once

#include <cstdint>

// Width of `text` at `scale` pixels per font pixel: four font columns a character (one of space).
int labelWidth(const char* text, int scale);
// Draws `text` in `rgb` into an RGBA picture of `width` x `height` (top row first) with the top
// left corner at x, y; characters the font lacks are left blank and pixels outside are skipped.
void drawLabel(uint8_t* rgba, int width, int height, int x, int y, int scale, const char* text,
               const uint8_t rgb[3]);
