#include "state/game.h"
#include "state/world.h"

#include <algorithm>
#include <climits>

void AddScore(int64_t points) {
    World& world = CurrentWorld();
    world.game.score =
        int(std::clamp<int64_t>(int64_t(world.game.score) + points, INT_MIN, INT_MAX));
}

int64_t StartBonus(int64_t startLevel) { return 3040 * startLevel - 3080; }

bool ExtraLife(LifeFrom from) {
    World& world = CurrentWorld();
    if (int64_t(world.game.score) < int64_t(world.game.numfreemen) * 20000) return false;
    world.game.numfreemen += from == LifeFrom::Bonus ? world.game.score / 20000 : 1;
    world.game.men++;
    return true;
}
