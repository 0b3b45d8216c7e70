#include "state/loop.h"

#include <cstddef>

int RectsOverlap(int x1, int y1, int w1, int h1, int x2, int y2, int w2, int h2) {
    return x1 < x2 + w2 && x1 + w1 > x2 && y1 < y2 + h2 && y1 + h1 > y2;
}

int PointInPoly(int px, int py) {
    bool inside = false;
    for (int i = 0; i < loop.numsegsinloop; ++i) {
        const double xi = loop.xpseg[std::size_t(i)], yi = loop.ypseg[std::size_t(i)];
        const double xj = loop.xpseg[std::size_t(i + 1)], yj = loop.ypseg[std::size_t(i + 1)];
        if (((yi <= py && py < yj) || (yj <= py && py < yi)) &&
            px < xi + (xj - xi) * (py - yi) / (yj - yi))
            inside = !inside;
    }
    return inside ? 1 : 0;
}

bool InLoop(int px, int py) {
    return RectsOverlap(px, py, 1, 1, loop.minx, loop.miny, loop.maxx - loop.minx,
                        loop.maxy - loop.miny) &&
           PointInPoly(px, py);
}
