#include "state/field.h"

#include "engine/rnd.h"
#include "state/loop.h"
#include "state/world.h"

void PlaceOffCentre(float& px, float& py) {
    px = float(Rnd(50, 275));
    py = float(Rnd(50, 235));
    px = Rnd(0, 10) <= 4 ? 400 + px : 400 - px;
    py = Rnd(0, 10) <= 4 ? 300 + py : 300 - py;
}

void RandomVelocity(float& dx, float& dy, double low, double high) {
    dx = float(Rnd(low, high));
    dy = float(Rnd(low, high));
    if (Rnd(0, 10) > 4) dx = -dx;
    if (Rnd(0, 10) > 4) dy = -dy;
}

bool BounceX(float& px, float& dx) {
    if (px >= 120 && px < 680) return false;
    dx = -dx;
    px = px + dx;
    return true;
}

bool BounceY(float& py, float& dy) {
    if (py < 540 && py >= 60) return false;
    dy = -dy;
    py = py + dy;
    return true;
}

int Award(int points) { return CurrentWorld().loop.g_numkilled > 1 ? 2 * points : points; }
