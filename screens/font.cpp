#include "screens/font.h"

#include "screens/font_table.h"
#include "state/world.h"

namespace {

// Codes 33..95, once the font is loaded.
bool Drawable(int c) {
    World& world = CurrentWorld();
    return c > 32 && c < 100 && world.font.letterlen[size_t(c)] >= 0 &&
           world.font.letters[size_t(c)][0];
}

const Image& Cache(int colour, bool whiteOtherwise) {
    World& world = CurrentWorld();
    static const Image none;
    switch (colour) {
    case 0:
        return world.font.vecfontr;
    case 1:
        return world.font.vecfontg;
    case 2:
        return world.font.vecfontb;
    case 3:
        return world.font.vecfontw;
    default:
        return whiteOtherwise ? world.font.vecfontw : none;
    }
}

} // namespace

void LoadFont() {
    World& world = CurrentWorld();
    for (int c = 0; c < 100; ++c) world.font.letterlen[size_t(c)] = -1;
    for (int c = 32; c <= 95; ++c) {
        const FontGlyph& glyph = kFontTable[size_t(c - 32)];
        world.font.letterlen[size_t(c)] = glyph.count - 1;
        for (int k = 0; k < glyph.count; ++k) {
            auto d = New<digit>();
            const FontStroke& s = glyph.strokes[size_t(k)];
            d->x1 = float(s.x1);
            d->y1 = float(s.y1);
            d->x2 = float(s.x2);
            d->y2 = float(s.y2);
            world.font.letters[size_t(c)][size_t(k)] = d;
        }
    }
}

void FillGlyphCaches() {
    World& world = CurrentWorld();
    world.font.vecfontr = CreateImage(12, 14, 100, -1);
    world.font.vecfontg = CreateImage(12, 14, 100, -1);
    world.font.vecfontb = CreateImage(12, 14, 100, -1);
    world.font.vecfontw = CreateImage(12, 14, 100, -1);
    Cls();
    Cls();
    const struct {
        int r, g, b;
        const Image* cache;
    } colours[4] = {{255, 0, 0, &world.font.vecfontr},
                    {0, 255, 0, &world.font.vecfontg},
                    {0, 0, 255, &world.font.vecfontb},
                    {255, 255, 255, &world.font.vecfontw}};
    for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 50; ++i) {
            const int code = i + 50 * j;
            for (const auto& c : colours) {
                SetColor(c.r, c.g, c.b);
                DrawDigit(code, 12 * i, 20 * j, 2.1f, 0);
                GrabImage(*c.cache, 12 * i, 20 * j, code);
            }
        }
    }
}

void DrawDigit(int c, int px, int py, float scale, int colour) {
    World& world = CurrentWorld();
    if (!Drawable(c)) return;
    if (scale <= -1) {
        DrawImage(Cache(colour, false), px, py, c);
        return;
    }
    const double s = scale;
    for (int k = 0; k <= world.font.letterlen[size_t(c)]; ++k) {
        const digit& d = *world.font.letters[size_t(c)][size_t(k)];
        DrawLine(px + d.x1 * s, py + d.y1 * s, px + d.x2 * s, py + d.y2 * s);
        Plot(px + d.x2 * s, py + d.y2 * s);
    }
}

void DrawString(const std::string& text, int px, int py, float scale, int colour) {
    World& world = CurrentWorld();
    const double s = scale;
    for (size_t i = 0; i < text.size(); ++i) {
        const int c = static_cast<unsigned char>(text[i]);
        if (!Drawable(c)) continue;
        if (scale <= -1) {
            DrawImage(Cache(colour, true), px + 10 * double(i), py, c);
            continue;
        }
        const double shift = 5 * s * double(i);
        for (int k = 0; k <= world.font.letterlen[size_t(c)]; ++k) {
            const digit& d = *world.font.letters[size_t(c)][size_t(k)];
            DrawLine(px + d.x1 * s + shift, py + d.y1 * s, px + d.x2 * s + shift, py + d.y2 * s);
        }
    }
}
