#include "atom/level.h"

#include <algorithm>

#include "atom/bond.h"
#include "atom/electron.h"
#include "atom/nucleus.h"
#include "engine/input.h"
#include "engine/rnd.h"
#include "hostiles/kinds.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/game.h"
#include "state/loop.h"
#include "state/point.h"
#include "state/points.h"
#include "state/trail.h"
#include "state/world.h"

void ClearLevelLists() {
    bond_list.Clear();
    elec_list.Clear();
    pnts_list.Clear();
    ClearHostiles();
}

void ResetAll() {
    for (int i = 0; i < 8; ++i) field.nucs[size_t(i)]->active = kSlotFree;
    ClearSegs();
    ClearLevelLists(); // not the fragments: they are left to run out
    field.NewLevel(difficulty.starsplitwait, difficulty.phcreatewait);
    trail.NewLevel();
    loop.numstarskilled = 0;
    point.Reset(); // in the middle, the smallest reticle, alive
    MoveMouse(point.x, point.y);
    game.gameover = kGameGoesOn;
}

void SetUpLevel() {
    ResetAll();
    game.level = game.level + 1;
    SetLevelDifficulty();
    for (int n = 0; n < difficulty.nucsperlevel; ++n) {
        int slot = -1;
        for (int i = 0; i < 8; ++i)
            if (field.nucs[size_t(i)]->active == kSlotFree) slot = i;
        if (slot >= 0) CreateNucleus(slot);
    }
    for (const HostileKind& kind : HostileKinds())
        if (kind.spawn)
            for (int i = 0; i < difficulty.*kind.perLevel; ++i) kind.spawn();
    if (game.level > 9 && difficulty.nucsperlevel > 1) {
        const int tries = game.level / 8 + 1 + game.level % 4;
        for (int k = 0; k < tries; ++k) {
            const int i = int(Rnd(0, difficulty.nucsperlevel - 2));
            const int j = i + 1;
            if (field.nucs[size_t(i)]->active == kNucBonding &&
                field.nucs[size_t(j)]->active == kNucBonding &&
                field.bnds[size_t(i)][size_t(j)] == 0) {
                field.bnds[size_t(i)][size_t(j)] = 1;
                CreateBonds(field.nucs[size_t(i)], field.nucs[size_t(j)]);
            }
        }
    }
}

void SetLevelDifficulty() {
    const int L = game.level;
    trail.segdur = std::max(25 - L / 6, 12);
    difficulty.phspeed = float(std::min(L / 5 + 2, 12));
    difficulty.phcreatewait = std::max(200 - 6 * L, 50);
    difficulty.nucsperlevel = std::min(L / 8 + 3 + (L / 5) % 2, 8);
    difficulty.nucspeed = float(std::min(L / 20 + 3, 8));
    difficulty.nucact = L < 10 ? kNucAlive : kNucBonding;
    difficulty.bcountmax = float(std::max(1000 - 20 * L, 200));
    if (difficulty.bcountmax <= 200) {
        difficulty.bcountwarn = 40;
        difficulty.bcountdead = 100;
    } else {
        difficulty.bcountwarn = int(difficulty.bcountmax - difficulty.bcountmax / 2);
        difficulty.bcountdead = int(difficulty.bcountmax - difficulty.bcountmax / 4);
    }
    difficulty.tankminewait = L > 79 ? 50 : 70;
    difficulty.tankspeed = L > 79 ? 4.5f : 3.0f;
    difficulty.tanksperlevel = L < 13 ? 0 : 1 - L % 2 + (L > 39 && L % 3 == 0 ? 1 : 0);
    difficulty.minedur = std::min(L / 2 + 100, 200);
    difficulty.starsperlevel =
        L < 6 ? 0
              : std::min((L - 6) / 3 % 2 + (L % 5 < 2 ? 1 : 0) + (L > 30 && L % 3 == 1 ? 1 : 0), 3);
    difficulty.starsplitwait = std::max(380 - 2 * L, 100);
    difficulty.starspeed = float(std::min(L / 22 + 6, 10));
    difficulty.pulsarsperlevel =
        L < 8 ? 0
              : std::min((L % 3 == 0 ? 1 : 0) + (L % 4 == 0 ? 1 : 0) +
                             (L > 24 && L % 5 == 0 ? 1 : 0) + (L > 49 && L % 2 == 0 ? 1 : 0),
                         4);
    difficulty.pulsarspeed = std::min(2.5f + float(L / 22), 5.0f);
}

void LevelEm() {
    const int w = loop.maxx - loop.minx, h = loop.maxy - loop.miny;
    for (int i = 0; i < 5; ++i) {
        if (RectsOverlap(200 + 100 * i, 400, 10, 10, loop.minx, loop.miny, w, h) &&
            PointInPoly(205 + 100 * i, 405)) {
            loop.levelselected = i;
            return;
        }
    }
}

void AlphaEm() {
    const int w = loop.maxx - loop.minx, h = loop.maxy - loop.miny;
    // Rows from the bottom up, columns from the right: the top row's rightmost cell wins.
    for (int r = 2; r >= 0; --r) {
        for (int c = 9; c >= 0; --c) {
            if (RectsOverlap(210 + 40 * c, 290 + 90 * r, 10, 10, loop.minx, loop.miny, w, h) &&
                PointInPoly(215 + 40 * c, 295 + 90 * r)) {
                loop.letterselected = c + 10 * r;
                break;
            }
        }
    }
}
