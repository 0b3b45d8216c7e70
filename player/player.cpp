#include "player/player.h"

#include <algorithm>

#include "atom/nucleus.h"
#include "engine/graphics.h"
#include "engine/input.h"
#include "engine/mathx.h"
#include "player/trail.h"

int RectsOverlap(int x1, int y1, int w1, int h1, int x2, int y2, int w2, int h2) {
    return x1 < x2 + w2 && x1 + w1 > x2 && y1 < y2 + h2 && y1 + h1 > y2;
}

void UpdatePlayer() {
    nucsalive = 0;
    for (int i = 0; i < 8; ++i) {
        const auto& n = nucs[size_t(i)];
        if (n && n->active > 0 && n->caught == 0) nucsalive++;
    }
    // Every 61 frames the reticle grows, unless a nucleus was caught meanwhile.
    if (++pwtimer > 60) {
        pwtimer = 0;
        if (nucskilled == 0) {
            if (++pw > 80) pw = 80;
        } else {
            pw = 4;
        }
        nucskilled = 0;
    }
}

void RenderPlayer() {
    const int h = pw / 2;
    const int d = int(pw * k07);
    const int e = d / 2;
    const int c = counter % 30;
    if (c <= 15)
        SetColor(0, 255, 0);
    else
        SetColor(255, 0, 255);
    DrawLine(x, y - pw, x, y - h);
    DrawLine(x - pw, y, x - h, y);
    DrawLine(x, y + pw, x, y + h);
    DrawLine(x + pw, y, x + h, y);
    if (c < 15)
        SetColor(255, 0, 255);
    else
        SetColor(0, 255, 0);
    DrawLine(x + d, y + d, x + e, y + e);
    DrawLine(x - d, y + d, x - e, y + e);
    DrawLine(x + d, y - d, x + e, y - e);
    DrawLine(x - d, y - d, x - e, y - e);
}

void PointFollowsMouse() {
    x = std::clamp(MouseX(), 60, 740);
    y = std::clamp(MouseY(), 30, 570);
    MoveMouse(x, y);
}
