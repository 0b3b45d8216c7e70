#include "player/capture.h"
#include "player/interact.h"

#include <algorithm>

#include "atom/bond.h"
#include "atom/level.h"
#include "atom/nucleus.h"
#include "engine/input.h"
#include "hostiles/frag.h"
#include "state/field.h"
#include "state/loop.h"
#include "state/point.h"
#include "state/trail.h"
#include "state/world.h"

namespace {

// A segment's extent: its box as reals, widths and heights raised to at least 1.
struct Extent {
    double x0, x1, y0, y1, w, h;
};

Extent ExtentOf(double ax, double ay, double bx, double by) {
    Extent e{std::min(ax, bx), std::max(ax, bx), std::min(ay, by), std::max(ay, by), 0, 0};
    e.w = std::max(e.x1 - e.x0, 1.0);
    e.h = std::max(e.y1 - e.y0, 1.0);
    return e;
}

bool Overlap(const Extent& a, const Extent& b) {
    return RectsOverlap(int(a.x0), int(a.y0), int(a.w), int(a.h), int(b.x0), int(b.y0), int(b.w),
                        int(b.h));
}

} // namespace

void BeginChoosing(int trailLife, LoopMode mode) {
    World& world = CurrentWorld();
    world.trail.segdur = trailLife;
    world.point.pw = 4;
    world.loop.loopmode = mode;
    world.point.x = world.trail.xold = 400;
    world.point.y = world.trail.yold = 300;
    MoveMouse(400, 300);
}

void EndChoosing() {
    CurrentWorld().loop.loopmode = kCaptureLoop;
    ClearSegs();
}

void CheckBonds(seg& newest) {
    World& world = CurrentWorld();
    if (world.field.bondact != kBondsDeadly) return;
    const Extent s = ExtentOf(world.point.x, world.point.y, world.trail.xold, world.trail.yold);
    double m, b;
    if (world.point.x == world.trail.xold) {
        m = 100000000;
        b = world.trail.yold;
    } else {
        m = double(world.point.y - world.trail.yold) / double(world.point.x - world.trail.xold);
        b = world.trail.yold - m * world.trail.xold;
    }
    for (auto& bd : world.bond_list) {
        const nuc& a = *bd.nuc1;
        const nuc& c = *bd.nuc2;
        const Extent e = ExtentOf(a.x, a.y, c.x, c.y);
        if (!Overlap(e, s)) continue;
        // A bond without horizontal extent has no line to cross.
        if (a.x == c.x) continue;
        const double mb = (double(c.y) - a.y) / (double(c.x) - a.x);
        const double bb = c.y - mb * c.x;
        if (m - mb == 0) continue;
        const double X = (bb - b) / (m - mb);
        const double Y = (m * bb - mb * b) / (m - mb);
        if (e.x0 <= X && X <= e.x1 && s.x0 <= X && X <= s.x1) {
            newest.x1 = float(X);
            newest.y1 = float(Y);
            world.point.x = int(X);
            world.point.y = int(Y);
            MoveMouse(world.point.x, world.point.y);
            CreateFrags();
            world.point.dead = 1;
            return;
        }
    }
}

void CheckForLoop(seg& S) {
    World& world = CurrentWorld();
    if (world.trail.segs <= 2) return;
    const Extent s = ExtentOf(S.x1, S.y1, S.x2, S.y2);
    double m1, b1;
    if (s.x1 - s.x0 == 0) {
        m1 = 100000000;
        b1 = s.y1;
    } else {
        m1 = (double(S.y1) - S.y2) / (double(S.x1) - S.x2);
        b1 = S.y1 - m1 * S.x1;
    }
    for (auto it = world.seg_list.begin(); it != world.seg_list.end(); ++it) {
        seg& T = *it;
        if (&T == &S || T.shrink != 0) continue;
        const Extent t = ExtentOf(T.x1, T.y1, T.x2, T.y2);
        if (!Overlap(t, s)) continue;
        if (T.x1 == T.x2) {
            CreateLoop(world.point.x, world.point.y, S, T);
            continue;
        }
        const double mT = (double(T.y1) - T.y2) / (double(T.x1) - T.x2);
        const double bT = T.y1 - mT * T.x1;
        const double d = m1 - mT;
        if (d == 0) {
            if (m1 == 0) CreateLoop(world.point.x, world.point.y, S, T);
            continue;
        }
        const double X = (bT - b1) / d;
        const double Y = (m1 * bT - mT * b1) / d;
        if (t.x0 <= X && X <= t.x1 && s.x0 <= X && X <= s.x1) CreateLoop(int(X), int(Y), S, T);
    }
}

void CreateLoop(int crossX, int crossY, seg& S, seg& T) {
    World& world = CurrentWorld();
    if (world.trail.looping == 1) return;
    world.trail.looping = 1;
    T.x2 = float(crossX);
    T.y2 = float(crossY);
    S.x1 = float(crossX);
    S.y1 = float(crossY);
    world.loop.cpx = world.loop.cpy = 0;
    world.loop.maxx = 0, world.loop.minx = 800, world.loop.maxy = 0, world.loop.miny = 600;
    int n = 0, count = 0;
    bool past = false;
    for (auto& g : world.seg_list) {
        if (past) {
            g.life = 1;
        } else {
            // Consecutive loops can make a trail longer than the polygon's room; the vertices
            // beyond it are dropped, the segments still shrink.
            if (n < int(world.loop.xpseg.size()) - 1) {
                world.loop.xpseg[size_t(n)] = g.x1;
                world.loop.ypseg[size_t(n)] = g.y1;
                n++;
            }
            count++;
            if (g.x1 > float(world.loop.maxx)) world.loop.maxx = int(g.x1);
            if (g.x1 < float(world.loop.minx)) world.loop.minx = int(g.x1);
            if (g.y1 > float(world.loop.maxy)) world.loop.maxy = int(g.y1);
            if (g.y1 < float(world.loop.miny)) world.loop.miny = int(g.y1);
            world.loop.cpx += g.x1 + g.x2; // summed in single precision, as the globals are stored
            world.loop.cpy += g.y1 + g.y2;
            g.life = 1;
            g.shrink = 5;
        }
        if (&g == &T) past = true;
    }
    world.loop.xpseg[size_t(n)] = world.loop.xpseg[0];
    world.loop.ypseg[size_t(n)] = world.loop.ypseg[0];
    world.loop.cpx = world.loop.cpx / float(2 * count);
    world.loop.cpy = world.loop.cpy / float(2 * count);
    world.loop.g_numkilled = 0;
    world.loop.numsegsinloop = n;
    switch (world.loop.loopmode) {
    case 0:
        KillEm();
        break;
    case 1:
        LevelEm();
        break;
    case 2:
        AlphaEm();
        break;
    default:
        break;
    }
}
