#include "state/game.h"

#include <algorithm>
#include <climits>

void AddScore(int64_t points) {
    game.score = int(std::clamp<int64_t>(int64_t(game.score) + points, INT_MIN, INT_MAX));
}

int64_t StartBonus(int64_t startLevel) { return 3040 * startLevel - 3080; }

bool ExtraLife(LifeFrom from) {
    if (int64_t(game.score) < int64_t(game.numfreemen) * 20000) return false;
    game.numfreemen += from == LifeFrom::Bonus ? game.score / 20000 : 1;
    game.men++;
    return true;
}
