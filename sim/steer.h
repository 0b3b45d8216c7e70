// Steering the point of play through the mouse: it moves by 0.35 of the pointer's offset.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/mathx.h"

// The pointer offset that moves the point exactly d pixels.
inline int PointerOffset(int d) {
    if (d == 0) return 0;
    int o = int(std::ceil(std::abs(d) / k035));
    while (int(o * k035) < std::abs(d)) ++o;
    return d > 0 ? o : -o;
}

// The largest step from (x, y) toward (tx, ty) that the pointer's screen limits allow, keeping
// its direction, and never 0 on an axis that still has a way to go.
inline void StepToward(int x, int y, int tx, int ty, int& dx, int& dy) {
    const int rx = tx - x, ry = ty - y;
    double f = 1.0;
    if (rx > 0) f = std::min(f, int((799 - x) * k035) / double(rx));
    if (rx < 0) f = std::min(f, int(x * k035) / double(-rx));
    if (ry > 0) f = std::min(f, int((599 - y) * k035) / double(ry));
    if (ry < 0) f = std::min(f, int(y * k035) / double(-ry));
    dx = int(rx * f), dy = int(ry * f);
    if (rx && !dx) dx = rx > 0 ? 1 : -1;
    if (ry && !dy) dy = ry > 0 ? 1 : -1;
}
