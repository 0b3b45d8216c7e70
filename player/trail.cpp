#include "player/trail.h"

#include <algorithm>
#include <cstdlib>

#include "atom/nucleus.h"
#include "engine/graphics.h"
#include "player/capture.h"
#include "state/comfort.h"
#include "state/field.h"
#include "state/loop.h"
#include "state/point.h"
#include "state/sounds.h"
#include "state/trail.h"
#include "state/world.h"

void CreateSeg() {
    World& world = CurrentWorld();
    world.trail.segs++;
    auto s = New<seg>();
    s->x1 = float(world.point.x);
    s->y1 = float(world.point.y);
    s->x2 = float(world.trail.xold);
    s->y2 = float(world.trail.yold);
    s->life = world.trail.segdur;
    s->shrink = 0;
    world.seg_list.AddFirst(s);
    CheckBonds(*s);
    CheckForLoop(*s);
}

void LaySegmentIfMoved() {
    World& world = CurrentWorld();
    if (std::abs(world.trail.xold - world.point.x) > 1 ||
        std::abs(world.trail.yold - world.point.y) > 1) {
        CreateSeg();
        world.trail.xold = world.point.x;
        world.trail.yold = world.point.y;
    }
}

void UpdateSegs() {
    World& world = CurrentWorld();
    world.trail.looping = 0;
    bool cut = false, sound = false;
    for (auto it = world.seg_list.begin(); it != world.seg_list.end(); ++it) {
        seg& s = *it;
        s.life--;
        if (s.life < 0) {
            if (s.shrink <= 0) {
                world.seg_list.Remove(&s);
                world.trail.segs--;
            } else {
                world.trail.looping = 1;
                s.shrink--;
                if (s.shrink > 0) {
                    s.x1 = float(s.x1 + (double(world.loop.cpx) - s.x1) / s.shrink);
                    s.y1 = float(s.y1 + (double(world.loop.cpy) - s.y1) / s.shrink);
                    s.x2 = float(s.x2 + (double(world.loop.cpx) - s.x2) / s.shrink);
                    s.y2 = float(s.y2 + (double(world.loop.cpy) - s.y2) / s.shrink);
                }
            }
            continue;
        }
        const int minx = int(std::min(s.x1, s.x2)), maxx = int(std::max(s.x1, s.x2));
        const int miny = int(std::min(s.y1, s.y2)), maxy = int(std::max(s.y1, s.y2));
        for (int i = 0; i < 8; ++i) {
            const auto& n = world.field.nucs[size_t(i)];
            if (!n || n->active == kSlotFree) continue;
            if (RectsOverlap(int(n->x - 1), int(n->y - 1), 3, 3, minx, miny, maxx - minx,
                             maxy - miny))
                cut = sound = true;
        }
        if (cut) s.life = 0;
    }
    if (sound) PlaySound(world.sfx.snd_killtail);
}

void RenderSegs() {
    World& world = CurrentWorld();
    if (++world.trail.counter > 30) world.trail.counter = 0;
    if (world.trail.counter <= 15 || comfort.calm)
        SetColor(0, 255, 0);
    else
        SetColor(255, 0, 255);
    for (auto& s : world.seg_list) {
        // The colour is not restored: every older segment is drawn magenta too.
        if (s.shrink > 0) SetColor(255, 0, 255);
        DrawLine(s.x1, s.y1, s.x2, s.y2);
    }
}
