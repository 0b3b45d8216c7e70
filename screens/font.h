// The stroke font, drawn as strokes at any scale or copied from the cached glyph sheets.
#pragma once
#include <array>
#include <memory>
#include <string>

#include "engine/graphics.h"
#include "entity/list.h"

struct digit;
inline KindList<digit> digit_list;

struct digit : Kind<digit, digit_list> {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

namespace font {
inline std::array<int, 101> letterlen{};
inline std::array<std::array<std::shared_ptr<digit>, 7>, 101> letters;
inline Image vecfontr, vecfontg, vecfontb, vecfontw;
} // namespace font

// Builds the strokes of codes 32..95 from the font table.
void LoadFont();
// Draws every glyph in the back buffer and grabs it into the four 12 x 14 caches.
void FillGlyphCaches();
// A scale of -1 or below copies from the caches (colour index 0 red, 1 green, 2 blue, 3 white).
void DrawDigit(int c, int px, int py, float scale, int colour);
void DrawString(const std::string& text, int px, int py, float scale, int colour);
