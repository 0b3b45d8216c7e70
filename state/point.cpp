#include "state/point.h"

#include "engine/mathx.h"
#include "state/loop.h"

HitBox PlayerBox() {
    const int r = int(point.pw * k07);
    return {point.x - r, point.y - r, 2 * r + 1};
}

bool Touches(const HitBox& p, int bx, int by, int bw, int bh) {
    return RectsOverlap(bx, by, bw, bh, p.x, p.y, p.size, p.size);
}
