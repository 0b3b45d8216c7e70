#include "screens/font.h"

#include "screens/font_table.h"

namespace {

// Codes 33..95, once the font is loaded.
bool Drawable(int c) {
    return c > 32 && c < 100 && font.letterlen[size_t(c)] >= 0 && font.letters[size_t(c)][0];
}

const Image& Cache(int colour, bool whiteOtherwise) {
    static const Image none;
    switch (colour) {
    case 0:
        return font.vecfontr;
    case 1:
        return font.vecfontg;
    case 2:
        return font.vecfontb;
    case 3:
        return font.vecfontw;
    default:
        return whiteOtherwise ? font.vecfontw : none;
    }
}

} // namespace

void LoadFont() {
    for (int c = 0; c < 100; ++c) font.letterlen[size_t(c)] = -1;
    for (int c = 32; c <= 95; ++c) {
        const FontGlyph& glyph = kFontTable[size_t(c - 32)];
        font.letterlen[size_t(c)] = glyph.count - 1;
        for (int k = 0; k < glyph.count; ++k) {
            auto d = New<digit>();
            const FontStroke& s = glyph.strokes[size_t(k)];
            d->x1 = float(s.x1);
            d->y1 = float(s.y1);
            d->x2 = float(s.x2);
            d->y2 = float(s.y2);
            font.letters[size_t(c)][size_t(k)] = d;
        }
    }
}

void FillGlyphCaches() {
    font.vecfontr = CreateImage(12, 14, 100, -1);
    font.vecfontg = CreateImage(12, 14, 100, -1);
    font.vecfontb = CreateImage(12, 14, 100, -1);
    font.vecfontw = CreateImage(12, 14, 100, -1);
    Cls();
    Cls();
    const struct {
        int r, g, b;
        const Image* cache;
    } colours[4] = {{255, 0, 0, &font.vecfontr},
                    {0, 255, 0, &font.vecfontg},
                    {0, 0, 255, &font.vecfontb},
                    {255, 255, 255, &font.vecfontw}};
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
    if (!Drawable(c)) return;
    if (scale <= -1) {
        DrawImage(Cache(colour, false), px, py, c);
        return;
    }
    const double s = scale;
    for (int k = 0; k <= font.letterlen[size_t(c)]; ++k) {
        const digit& d = *font.letters[size_t(c)][size_t(k)];
        DrawLine(px + d.x1 * s, py + d.y1 * s, px + d.x2 * s, py + d.y2 * s);
        Plot(px + d.x2 * s, py + d.y2 * s);
    }
}

void DrawString(const std::string& text, int px, int py, float scale, int colour) {
    const double s = scale;
    for (size_t i = 0; i < text.size(); ++i) {
        const int c = static_cast<unsigned char>(text[i]);
        if (!Drawable(c)) continue;
        if (scale <= -1) {
            DrawImage(Cache(colour, true), px + 10 * double(i), py, c);
            continue;
        }
        const double shift = 5 * s * double(i);
        for (int k = 0; k <= font.letterlen[size_t(c)]; ++k) {
            const digit& d = *font.letters[size_t(c)][size_t(k)];
            DrawLine(px + d.x1 * s + shift, py + d.y1 * s, px + d.x2 * s + shift, py + d.y2 * s);
        }
    }
}
