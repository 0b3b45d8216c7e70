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
#include "hostiles/kinds.h"
#include "state/field.h"
#include "state/loop.h"
#include "state/point.h"
#include "state/sounds.h"
#include "state/world.h"

namespace {

void Hit() {
    CreateFrags();
    CurrentWorld().point.dead = 1;
}

// A bond kills where its line crosses either diagonal of the hit box, within the box and the
// bond's horizontal extent; the point is snapped onto the crossing first.
void TestBonds(const HitBox& p) {
    World& world = CurrentWorld();
    for (auto& bd : world.bond_list) {
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
                world.point.x = int(X);
                world.point.y = int(Y);
                MoveMouse(world.point.x, world.point.y);
                Hit();
                return;
            }
        }
        const double c2 = double(p.y) + p.size + p.x;
        if (-1 - m != 0) {
            const double X = (c - c2) / (-1 - m), Y = (-c - m * c2) / (-1 - m);
            if (onBoth(X)) {
                world.point.x = int(X);
                world.point.y = int(Y);
                MoveMouse(world.point.x, world.point.y);
                Hit();
            }
        }
    }
}

} // namespace

void TestContacts() {
    World& world = CurrentWorld();
    const HitBox p = PlayerBox();
    if (world.field.bondact == kBondsDeadly) TestBonds(p);
    world.field.nucsalive = 0;
    for (int i = 0; i < 8; ++i) {
        const nuc& n = *world.field.nucs[size_t(i)];
        if (n.active == kSlotFree || n.caught != 0) continue;
        world.field.nucsalive++;
        if (Touches(p, int(n.x - 5), int(n.y - 5), 11, 11)) Hit();
    }
    // Each hostile that touches is a hit of its own (a burst of fragments each).
    for (const HostileKind& kind : HostileKinds())
        if (kind.contact)
            for (int hits = kind.contact(p); hits > 0; --hits) Hit();
}

void KillEm() {
    World& world = CurrentWorld();
    world.loop.g_numkilled = 0;
    bool electrons = false;
    for (int i = 0; i < 8; ++i) {
        nuc& n = *world.field.nucs[size_t(i)];
        if (n.active != kSlotFree && n.caught == 0 && InLoop(int(n.x), int(n.y))) {
            n.caught = 1;
            world.loop.g_numkilled++;
            world.point.nucskilled = 1;
        }
    }
    for (auto& e : world.elec_list) {
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
    for (const HostileKind& kind : HostileKinds())
        if (kind.capture) kind.capture();
    if (world.loop.g_numkilled == 0 && !electrons) PlaySound(world.sfx.snd_loop);
}
