#include "player/player.h"
#include "player/interact.h"

#include <algorithm>

#include "engine/graphics.h"
#include "engine/input.h"
#include "engine/mathx.h"
#include "state/comfort.h"
#include "state/point.h"
#include "state/trail.h"
#include "state/world.h"

void UpdatePlayer() {
    World& world = CurrentWorld();
    TestContacts();
    // Every 61 frames the reticle grows, unless a nucleus was caught meanwhile.
    if (++world.point.pwtimer > 60) {
        world.point.pwtimer = 0;
        if (world.point.nucskilled == 0)
            world.point.pw = std::min(world.point.pw + 1, 80);
        else
            world.point.pw = 4;
        world.point.nucskilled = 0;
    }
}

void RenderPlayer() {
    World& world = CurrentWorld();
    const int h = world.point.pw / 2;
    const int d = int(world.point.pw * k07);
    const int e = d / 2;
    const int c = comfort.calm ? 0 : world.trail.counter % 30; // calm: one steady pair of colours
    if (c <= 15)
        SetColor(0, 255, 0);
    else
        SetColor(255, 0, 255);
    DrawLine(world.point.x, world.point.y - world.point.pw, world.point.x, world.point.y - h);
    DrawLine(world.point.x - world.point.pw, world.point.y, world.point.x - h, world.point.y);
    DrawLine(world.point.x, world.point.y + world.point.pw, world.point.x, world.point.y + h);
    DrawLine(world.point.x + world.point.pw, world.point.y, world.point.x + h, world.point.y);
    if (c < 15)
        SetColor(255, 0, 255);
    else
        SetColor(0, 255, 0);
    DrawLine(world.point.x + d, world.point.y + d, world.point.x + e, world.point.y + e);
    DrawLine(world.point.x - d, world.point.y + d, world.point.x - e, world.point.y + e);
    DrawLine(world.point.x + d, world.point.y - d, world.point.x + e, world.point.y - e);
    DrawLine(world.point.x - d, world.point.y - d, world.point.x - e, world.point.y - e);
}

void PointFollowsMouse() {
    World& world = CurrentWorld();
    world.point.x = std::clamp(MouseX(), 60, 740);
    world.point.y = std::clamp(MouseY(), 30, 570);
    MoveMouse(world.point.x, world.point.y);
}
