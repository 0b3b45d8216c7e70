#include "state/point.h"

#include "engine/mathx.h"
#include "state/loop.h"
#include "state/world.h"

HitBox PlayerBox() {
    World& world = CurrentWorld();
    const int r = int(world.point.pw * k07);
    return {world.point.x - r, world.point.y - r, 2 * r + 1};
}

bool Touches(const HitBox& p, int bx, int by, int bw, int bh) {
    return RectsOverlap(bx, by, bw, bh, p.x, p.y, p.size, p.size);
}
