// Everything that happens between the point, its loops and the rest of the field, in one place:
// what kills the point on contact, and what a closed loop catches.
#include "player/interact.h"

#include <algorithm>
#include <cstddef>

#include "atom/bond.h"
#include "atom/electron.h"
#include "atom/nucleus.h"
#include "engine/input.h"
#include "engine/mathx.h"
#include "hostiles/frag.h"
#include "hostiles/mine.h"
#include "hostiles/photon.h"
#include "hostiles/pulsar.h"
#include "hostiles/star.h"
#include "hostiles/tank.h"
#include "state/field.h"
#include "state/loop.h"
#include "state/point.h"
#include "state/sounds.h"

namespace {

struct HitBox {
    int x, y, size;
};

HitBox PlayerBox() {
    const int r = int(point.pw * k07);
    return {point.x - r, point.y - r, 2 * r + 1};
}

bool Touches(const HitBox& p, int bx, int by, int bw, int bh) {
    return RectsOverlap(bx, by, bw, bh, p.x, p.y, p.size, p.size);
}

void Hit() {
    CreateFrags();
    point.dead = 1;
}

// A bond kills where its line crosses either diagonal of the hit box, within the box and the
// bond's horizontal extent; the point is snapped onto the crossing first.
void TestBonds(const HitBox& p) {
    for (auto& bd : bond_list) {
        const nuc& a = *bd.nuc1;
        const nuc& b = *bd.nuc2;
        const int minX = int(std::min(a.x, b.x)), maxX = int(std::max(a.x, b.x));
        const int minY = int(std::min(a.y, b.y)), maxY = int(std::max(a.y, b.y));
        const int w = maxX - minX, h = maxY - minY;
        if (!Touches(p, minX, minY, w, h) || w == 0) continue;
        const double m = (double(b.y) - a.y) / (double(b.x) - a.x);
        const double c = b.y - m * b.x;
        auto onBoth = [&](double X) {
            return p.x <= X && X <= p.x + p.size && minX <= X && X <= maxX;
        };
        const double c1 = p.y - p.x;
        if (1 - m != 0) {
            const double X = (c - c1) / (1 - m), Y = (c - m * c1) / (1 - m);
            if (onBoth(X)) {
                point.x = int(X);
                point.y = int(Y);
                MoveMouse(point.x, point.y);
                Hit();
                return;
            }
        }
        const double c2 = double(p.y) + p.size + p.x;
        if (-1 - m != 0) {
            const double X = (c - c2) / (-1 - m), Y = (-c - m * c2) / (-1 - m);
            if (onBoth(X)) {
                point.x = int(X);
                point.y = int(Y);
                MoveMouse(point.x, point.y);
                Hit();
            }
        }
    }
}

template <class List> void TestFree(const HitBox& p, const List& list, float half, int size) {
    for (const auto& e : list)
        if (e.caught == 0 && Touches(p, int(e.x - half), int(e.y - half), size, size)) Hit();
}

// The pulsar's shield grows with its pulse: more boxes count as it swells.
bool TouchesPulsar(const HitBox& p, const pulsar& s) {
    struct Part {
        int from;
        float dx, dy;
        int w, h;
    };
    static const Part parts[] = {
        {-1, 0, 0, 2, 2},     {4, 0, -8, 1, 8},    {5, 0, -20, 10, 10},   {5, -10, -20, 10, 10},
        {6, -25, -20, 15, 1}, {6, 10, -20, 15, 1}, {7, -35, -20, 10, 10}, {7, 25, -20, 10, 10},
        {8, -35, -10, 1, 22}, {8, 35, -10, 1, 22}, {9, -32, 12, 14, 10},  {9, 18, 12, 14, 10},
        {10, -15, 25, 31, 1},
    };
    const int k = s.pulse / 4;
    for (const Part& part : parts)
        if (k > part.from && Touches(p, int(s.x + part.dx), int(s.y + part.dy), part.w, part.h))
            return true;
    return false;
}

// The strict bounding-box test, then the polygon test.
bool InLoop(int px, int py) {
    return RectsOverlap(px, py, 1, 1, loop.minx, loop.miny, loop.maxx - loop.minx,
                        loop.maxy - loop.miny) &&
           PointInPoly(px, py);
}

template <class List> void CatchFree(const List& list) {
    for (auto& e : list) {
        if (e.caught == 0 && InLoop(int(e.x), int(e.y))) {
            e.caught = 1;
            loop.g_numkilled++;
        }
    }
}

} // namespace

void TestContacts() {
    const HitBox p = PlayerBox();
    if (field.bondact == kBondsDeadly) TestBonds(p);
    field.nucsalive = 0;
    for (int i = 0; i < 8; ++i) {
        const nuc& n = *field.nucs[size_t(i)];
        if (n.active == kSlotFree || n.caught != 0) continue;
        field.nucsalive++;
        if (Touches(p, int(n.x - 5), int(n.y - 5), 11, 11)) Hit();
    }
    TestFree(p, phot_list, 7, 15);
    TestFree(p, tank_list, 9, 18);
    for (const auto& m : mine_list) {
        if (m.caught != 0 || m.life <= 15) continue;
        const int q = m.life / 10;
        if (Touches(p, m.x - q / 2, m.y - q / 2, q, q)) Hit();
    }
    TestFree(p, star_list, 9, 18);
    for (const auto& s : pulsar_list) {
        if (s.caught == 0 && TouchesPulsar(p, s)) {
            Hit();
            break;
        }
    }
}

void KillEm() {
    loop.g_numkilled = 0;
    bool electrons = false;
    for (int i = 0; i < 8; ++i) {
        nuc& n = *field.nucs[size_t(i)];
        if (n.active != kSlotFree && n.caught == 0 && InLoop(int(n.x), int(n.y))) {
            n.caught = 1;
            loop.g_numkilled++;
            point.nucskilled = 1;
        }
    }
    for (auto& e : elec_list) {
        if (e.caught != 0) continue;
        nuc& p = *e.parent;
        if (p.active != kSlotFree) {
            if (!InLoop(int(p.x + e.ox), int(p.y + e.oy))) continue;
            if (p.caught == 1) {
                p.elecs++;
                e.withnuc = 1;
            }
        } else {
            if (!InLoop(int(e.ox), int(e.oy))) continue;
            e.withnuc = 0;
        }
        e.caught = 1;
        electrons = true;
    }
    CatchFree(phot_list);
    CatchFree(tank_list);
    for (auto& m : mine_list) {
        if (m.caught == 0 && m.life > 15 && InLoop(m.x, m.y)) {
            m.caught = 1;
            loop.g_numkilled++;
        }
    }
    for (auto& st : star_list) {
        if (st.caught != 0) continue;
        const int px = int(st.x), py = int(st.y);
        if (!RectsOverlap(px, py, 1, 1, loop.minx, loop.miny, loop.maxx - loop.minx,
                          loop.maxy - loop.miny))
            continue;
        loop.numstarskilled = std::min(loop.numstarskilled + 1, 4);
        if (PointInPoly(px, py)) {
            st.caught = 1;
            loop.g_numkilled++;
        }
    }
    CatchFree(pulsar_list);
    if (loop.g_numkilled == 0 && !electrons) PlaySound(sfx.snd_loop);
}
