#include "sim/danger.h"

#include <algorithm>
#include <cmath>

#include "atom/bond.h"
#include "atom/nucleus.h"
#include "engine/mathx.h"
#include "hostiles/mine.h"
#include "hostiles/photon.h"
#include "hostiles/pulsar.h"
#include "hostiles/star.h"
#include "hostiles/tank.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/point.h"
#include "state/world.h"

namespace {

// Calls f(x, y, half) for every deadly particle where it will be next frame (photons also two
// frames on: they are fast), half being the half width of what kills there.
template <class F> void ForEachThreat(F f) {
    World& world = CurrentWorld();
    for (const auto& n : world.nuc_list)
        if (n.active != kSlotFree && n.caught == 0) f(n.x + n.dx, n.y + n.dy, 6.0f);
    for (const auto& p : world.phot_list)
        if (p.caught == 0) f(p.x + p.dx, p.y + p.dy, 8.0f), f(p.x + 2 * p.dx, p.y + 2 * p.dy, 8.0f);
    for (const auto& t : world.tank_list)
        if (t.caught == 0) f(t.x + t.dx, t.y + t.dy, 10.0f);
    for (const auto& m : world.mine_list)
        if (m.caught == 0 && m.life > 15) f(float(m.x), float(m.y), float(m.life / 20 + 1));
    for (const auto& s : world.star_list)
        if (s.caught == 0) f(s.x + s.dx, s.y + s.dy, 10.0f);
    for (const auto& s : world.pulsar_list)
        if (s.caught == 0) f(s.x + s.dx, s.y + s.dy, s.pulse >= 20 ? 40.0f : 4.0f);
}

bool BondsLiveWithin(int frames) {
    World& world = CurrentWorld();
    return world.field.bondact == kBondsDeadly ||
           world.field.bcount + float(frames) >= float(world.difficulty.bcountdead) - 1;
}

float Cross(float ax, float ay, float bx, float by) { return ax * by - ay * bx; }

// Whether segments p0-p1 and q0-q1 cross or come within `margin` of each other's ends.
bool SegmentsMeet(float p0x, float p0y, float p1x, float p1y, float q0x, float q0y, float q1x,
                  float q1y, float margin) {
    const float d1 = Cross(p1x - p0x, p1y - p0y, q0x - p0x, q0y - p0y);
    const float d2 = Cross(p1x - p0x, p1y - p0y, q1x - p0x, q1y - p0y);
    const float d3 = Cross(q1x - q0x, q1y - q0y, p0x - q0x, p0y - q0y);
    const float d4 = Cross(q1x - q0x, q1y - q0y, p1x - q0x, p1y - q0y);
    if (((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0))) return true;
    auto near = [&](float px, float py, float ax, float ay, float bx, float by) {
        const float len2 = (bx - ax) * (bx - ax) + (by - ay) * (by - ay);
        const float t =
            len2 < 1 ? 0
                     : std::clamp(((px - ax) * (bx - ax) + (py - ay) * (by - ay)) / len2, 0.f, 1.f);
        return std::hypot(ax + t * (bx - ax) - px, ay + t * (by - ay) - py) < margin;
    };
    return near(p0x, p0y, q0x, q0y, q1x, q1y) || near(p1x, p1y, q0x, q0y, q1x, q1y) ||
           near(q0x, q0y, p0x, p0y, p1x, p1y) || near(q1x, q1y, p0x, p0y, p1x, p1y);
}

} // namespace

bool Safe(int px, int py, bool avoidBonds) {
    World& world = CurrentWorld();
    const float r = float(int(world.point.pw * k07) + 8);
    bool safe = true;
    ForEachThreat([&](float hx, float hy, float half) {
        if (std::fabs(hx - float(px)) < half + r && std::fabs(hy - float(py)) < half + r)
            safe = false;
    });
    if (safe && avoidBonds &&
        world.field.bondact != kBondsHarmless) // live or about to be: keep off the bonds' lines
        safe = !CrossesLiveBond(px, py, px, py, 1000000, r + 4);
    return safe;
}

bool CrossesLiveBond(int x0, int y0, int x1, int y1, int soon, float margin) {
    if (!BondsLiveWithin(soon)) return false;
    for (const auto& b : CurrentWorld().bond_list) {
        const nuc &a = *b.nuc1, &c = *b.nuc2;
        if (SegmentsMeet(float(x0), float(y0), float(x1), float(y1), a.x + a.dx, a.y + a.dy,
                         c.x + c.dx, c.y + c.dy, margin))
            return true;
    }
    return false;
}

float Clearance(int px, int py, float cap) {
    float best = cap;
    ForEachThreat([&](float hx, float hy, float half) {
        best = std::min(best, std::hypot(hx - float(px), hy - float(py)) - half);
    });
    return best;
}
