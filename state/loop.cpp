#include "state/loop.h"
#include "state/world.h"

#include <cstddef>

int RectsOverlap(int x1, int y1, int w1, int h1, int x2, int y2, int w2, int h2) {
    return x1 < x2 + w2 && x1 + w1 > x2 && y1 < y2 + h2 && y1 + h1 > y2;
}

int PointInPoly(int px, int py) {
    World& world = CurrentWorld();
    bool inside = false;
    for (int i = 0; i < world.loop.numsegsinloop; ++i) {
        const double xi = world.loop.xpseg[std::size_t(i)], yi = world.loop.ypseg[std::size_t(i)];
        const double xj = world.loop.xpseg[std::size_t(i + 1)],
                     yj = world.loop.ypseg[std::size_t(i + 1)];
        if (((yi <= py && py < yj) || (yj <= py && py < yi)) &&
            px < xi + (xj - xi) * (py - yi) / (yj - yi))
            inside = !inside;
    }
    return inside ? 1 : 0;
}

bool InLoop(int px, int py) {
    World& world = CurrentWorld();
    return RectsOverlap(px, py, 1, 1, world.loop.minx, world.loop.miny,
                        world.loop.maxx - world.loop.minx, world.loop.maxy - world.loop.miny) &&
           PointInPoly(px, py);
}
