#include "atom/nucleus.h"

#include "atom/electron.h"
#include "engine/rnd.h"
#include "state/art.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/loop.h"
#include "state/points.h"
#include "state/sounds.h"
#include "state/trail.h"
#include "state/world.h"

void ScatterNucleus(nuc& n) {
    PlaceOffCentre(n.x, n.y);
    RandomVelocity(n.dx, n.dy, double(0.3f), CurrentWorld().difficulty.nucspeed);
}

void CreateNucleus(int slot) {
    World& world = CurrentWorld();
    const auto& n = world.field.nucs[size_t(slot)];
    n->slot = slot;
    n->caught = 0;
    n->active = world.difficulty.nucact;
    ScatterNucleus(*n);
    n->cnum = int(Rnd(0, 6));
    const col& c = *world.art.cols[size_t(n->cnum)];
    n->r = c.r;
    n->g = c.g;
    n->b = c.b;
    n->elecs = 0;
    CreateElectrons(n);
}

void UpdateNucleus() {
    World& world = CurrentWorld();
    for (int i = 0; i < 8; ++i) {
        nuc& n = *world.field.nucs[size_t(i)];
        if (n.active == kSlotFree) continue;
        if (n.caught == 0) {
            n.x = n.x + n.dx;
            n.y = n.y + n.dy;
            if (BounceX(n.x, n.dx)) PlaySound(world.sfx.snd_bounce);
            if (BounceY(n.y, n.dy)) PlaySound(world.sfx.snd_bounce);
        }
        if (n.caught == 1 && world.trail.looping == 0) {
            int points = 300 + 20 * n.elecs;
            if (world.loop.g_numkilled >= 2) {
                points *= 2;
                PlaySound(world.sfx.snd_killnuc2);
            } else {
                PlaySound(world.sfx.snd_killnuc);
            }
            CreatePoints(int(n.x), int(n.y), points);
            n.active = kSlotFree;
        }
    }
}

void RenderNucleus() {
    World& world = CurrentWorld();
    for (int i = 0; i < 8; ++i) {
        const nuc& n = *world.field.nucs[size_t(i)];
        if (n.active == kSlotFree) continue;
        const col& c = *world.art.cols[size_t(n.cnum)];
        SetColor(c.r, c.g, c.b);
        if (n.caught == 0) {
            DrawImage(world.art.spheres, n.x - 6, n.y - 6, n.cnum);
        } else {
            DrawRect(n.x - 7, n.y, 15, 1);
            DrawRect(n.x, n.y - 7, 1, 15);
        }
    }
}
