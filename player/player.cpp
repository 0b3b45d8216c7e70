#include "player/player.h"
#include "player/interact.h"

#include <algorithm>

#include "engine/graphics.h"
#include "engine/input.h"
#include "engine/mathx.h"
#include "state/comfort.h"
#include "state/point.h"
#include "state/trail.h"

void UpdatePlayer() {
    TestContacts();
    // Every 61 frames the reticle grows, unless a nucleus was caught meanwhile.
    if (++point.pwtimer > 60) {
        point.pwtimer = 0;
        if (point.nucskilled == 0)
            point.pw = std::min(point.pw + 1, 80);
        else
            point.pw = 4;
        point.nucskilled = 0;
    }
}

void RenderPlayer() {
    const int h = point.pw / 2;
    const int d = int(point.pw * k07);
    const int e = d / 2;
    const int c = comfort.calm ? 0 : trail.counter % 30; // calm: one steady pair of colours
    if (c <= 15)
        SetColor(0, 255, 0);
    else
        SetColor(255, 0, 255);
    DrawLine(point.x, point.y - point.pw, point.x, point.y - h);
    DrawLine(point.x - point.pw, point.y, point.x - h, point.y);
    DrawLine(point.x, point.y + point.pw, point.x, point.y + h);
    DrawLine(point.x + point.pw, point.y, point.x + h, point.y);
    if (c < 15)
        SetColor(255, 0, 255);
    else
        SetColor(0, 255, 0);
    DrawLine(point.x + d, point.y + d, point.x + e, point.y + e);
    DrawLine(point.x - d, point.y + d, point.x - e, point.y + e);
    DrawLine(point.x + d, point.y - d, point.x + e, point.y - e);
    DrawLine(point.x - d, point.y - d, point.x - e, point.y - e);
}

void PointFollowsMouse() {
    point.x = std::clamp(MouseX(), 60, 740);
    point.y = std::clamp(MouseY(), 30, 570);
    MoveMouse(point.x, point.y);
}
