#include "atom/electron.h"

#include <cmath>

#include "engine/graphics.h"
#include "engine/rnd.h"
#include "state/art.h"
#include "state/field.h"
#include "state/points.h"
#include "state/trail.h"
#include "state/world.h"

namespace {

bool Coin() { return Rnd(0, 10) <= 4; }

// The lens: two parabolic arcs meeting where the offset across the axis nears 0.
// Single precision throughout, as the fields are stored.
void Orbit(elec& e) {
    if (e.axis == 0) {
        e.ox = e.ox + e.dx;
        e.oy = e.dy == 1.0f ? float(e.rad) - 0.5f * e.ox * e.ox : 0.5f * e.ox * e.ox - float(e.rad);
        if (std::fabs(e.oy) < 2) e.dx = -e.dx, e.dy = -e.dy;
    } else {
        e.oy = e.oy + e.dy;
        e.ox = e.dx == 1.0f ? float(e.rad) - 0.5f * e.oy * e.oy : 0.5f * e.oy * e.oy - float(e.rad);
        if (std::fabs(e.ox) < 2) e.dy = -e.dy, e.dx = -e.dx;
    }
}

void Cross(double px, double py) {
    DrawRect(px - 2, py, 5, 1);
    DrawRect(px, py - 2, 1, 5);
}

} // namespace

void CreateElectrons(const std::shared_ptr<nuc>& nucleus) {
    const int count = int(Rnd(1, 6));
    for (int k = 1; k <= count; ++k) {
        auto e = New<elec>();
        e->parent = nucleus;
        e->rad = 20 * k + 15;
        if (Coin()) {
            e->axis = 1;
            e->dx = Rnd(0, 10) > 4 ? -1.0f : 1.0f;
            e->dy = Rnd(0, 10) > 4 ? -0.2f : 0.2f;
        } else {
            e->axis = 0;
            e->dx = Rnd(0, 10) > 4 ? -0.2f : 0.2f;
            e->dy = Rnd(0, 10) > 4 ? -1.0f : 1.0f;
        }
        e->ox = 0;
        e->oy = 0;
        e->r = nucleus->r;
        e->g = nucleus->g;
        e->b = nucleus->b;
        e->cnum = nucleus->cnum;
        // Spread the level's electrons along their orbits.
        for (int i = 0; i < 8; ++i) UpdateElectrons();
    }
}

void UpdateElectrons() {
    World& world = CurrentWorld();
    for (auto it = world.elec_list.begin(); it != world.elec_list.end(); ++it) {
        elec& e = *it;
        const nuc& p = *e.parent;
        if (p.active != kSlotFree || e.withnuc == 1) {
            if (e.caught == 0) Orbit(e);
            e.cx = int(p.x);
            e.cy = int(p.y);
            if (e.caught == 1 && world.trail.looping == 0) {
                // One caught with its nucleus was paid in the nucleus's award.
                if (p.active != kSlotFree) CreatePoints(int(p.x + e.ox), int(p.y + e.oy), -20);
                e.Remove();
            }
            continue;
        }
        if (e.loose == 0) {
            e.ox = float(e.cx) + e.ox;
            e.oy = float(e.cy) + e.oy;
            e.dx = float(Rnd(3, 6));
            if (Rnd(0, 10) > 4) e.dx = -e.dx;
            e.dy = float(Rnd(3, 6));
            if (Rnd(0, 10) > 4) e.dy = -e.dy;
            e.loose = 1;
        } else if (e.caught == 0) {
            e.ox = e.ox + e.dx;
            e.oy = e.oy + e.dy;
            if (e.ox < 0 || e.ox > 800 || e.oy < 0 || e.oy > 600) {
                e.Remove();
                continue;
            }
        }
        if (e.caught == 1 && world.trail.looping == 0) {
            CreatePoints(int(e.ox), int(e.oy), -200);
            e.Remove();
        }
    }
}

void RenderElectrons() {
    World& world = CurrentWorld();
    world.field.elecsalive = 0;
    for (auto& e : world.elec_list) {
        world.field.elecsalive++;
        const col& c = *world.art.cols[size_t(e.cnum)];
        SetColor(c.r, c.g, c.b);
        if (e.loose == 0 && e.caught == 0)
            DrawRect(ElecX(e), ElecY(e), 2, 2);
        else
            Cross(ElecX(e), ElecY(e));
    }
}
