#include "state/points.h"

#include <cstdlib>

#include "state/game.h"
#include "state/sounds.h"
#include "state/world.h"

void CreatePoints(int px, int py, int v) {
    auto p = New<pnts>();
    p->x = px;
    p->y = py;
    p->value = std::abs(v);
    if (v < 0) {
        p->timer = 12;
        v = -v;
    } else {
        p->timer = 25;
    }
    AddScore(v);
    if (ExtraLife(LifeFrom::Points)) PlaySound(CurrentWorld().sfx.snd_bonus);
}
