#include "state/difficulty.h"

#include <algorithm>

Difficulty DifficultyOf(int L) {
    Difficulty d;
    d.segdur = std::max(25 - L / 6, 12);
    d.phspeed = float(std::min(L / 5 + 2, 12));
    d.phcreatewait = std::max(200 - 6 * L, 50);
    d.nucsperlevel = std::min(L / 8 + 3 + (L / 5) % 2, 8);
    d.nucspeed = float(std::min(L / 20 + 3, 8));
    d.nucact = L < 10 ? kNucAlive : kNucBonding;
    d.bcountmax = float(std::max(1000 - 20 * L, 200));
    if (d.bcountmax <= 200) {
        d.bcountwarn = 40;
        d.bcountdead = 100;
    } else {
        d.bcountwarn = int(d.bcountmax - d.bcountmax / 2);
        d.bcountdead = int(d.bcountmax - d.bcountmax / 4);
    }
    d.tankminewait = L > 79 ? 50 : 70;
    d.tankspeed = L > 79 ? 4.5f : 3.0f;
    d.tanksperlevel = L < 13 ? 0 : 1 - L % 2 + (L > 39 && L % 3 == 0 ? 1 : 0);
    d.minedur = std::min(L / 2 + 100, 200);
    d.starsperlevel =
        L < 6 ? 0
              : std::min((L - 6) / 3 % 2 + (L % 5 < 2 ? 1 : 0) + (L > 30 && L % 3 == 1 ? 1 : 0), 3);
    d.starsplitwait = std::max(380 - 2 * L, 100);
    d.starspeed = float(std::min(L / 22 + 6, 10));
    d.pulsarsperlevel =
        L < 8 ? 0
              : std::min((L % 3 == 0 ? 1 : 0) + (L % 4 == 0 ? 1 : 0) +
                             (L > 24 && L % 5 == 0 ? 1 : 0) + (L > 49 && L % 2 == 0 ? 1 : 0),
                         4);
    d.pulsarspeed = std::min(2.5f + float(L / 22), 5.0f);
    return d;
}
