// The stroke font, drawn as strokes at any scale or copied from the cached glyph sheets.
#pragma once
#include <array>
#include <memory>
#include <string>

#include "engine/graphics.h"
#include "entity/list.h"
#include "state/art.h"

struct digit;
template <> KindList<digit>& ListOf<digit>(); // the World holds it

struct digit : Kind<digit> {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// Builds the strokes of codes 32..95 from the font table.
void LoadFont();
// Draws every glyph in the back buffer and grabs it into the four 12 x 14 caches.
void FillGlyphCaches();
// A scale of -1 or below copies from the caches (colour index 0 red, 1 green, 2 blue, 3 white).
void DrawDigit(int c, int px, int py, float scale, int colour);
void DrawString(const std::string& text, int px, int py, float scale, int colour);
