#include "atom/level.h"

#include <algorithm>

#include "atom/bond.h"
#include "atom/electron.h"
#include "atom/nucleus.h"
#include "engine/input.h"
#include "engine/rnd.h"
#include "hostiles/mine.h"
#include "hostiles/photon.h"
#include "hostiles/pulsar.h"
#include "hostiles/star.h"
#include "hostiles/tank.h"
#include "player/capture.h"
#include "player/player.h"
#include "player/points.h"
#include "player/trail.h"
#include "screens/hiscore.h"
#include "screens/picklevel.h"
#include "shell/game.h"

void ResetAll() {
    for (int i = 0; i < 8; ++i) nucs[size_t(i)]->active = 0;
    ClearSegs();
    bond_list.Clear();
    elec_list.Clear();
    phot_list.Clear();
    pnts_list.Clear();
    tank_list.Clear();
    mine_list.Clear();
    star_list.Clear();
    pulsar_list.Clear();
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) bnds[size_t(i)][size_t(j)] = 0;
    counter = 0;
    bcount = 0;
    bondact = 2;
    nucskilled = 0;
    numstarskilled = 0;
    starsalive = 0;
    startimer = starsplitwait;
    pw = 4;
    pwtimer = 0;
    phtimer = phcreatewait + 10;
    xold = 400;
    yold = 300;
    x = 400;
    y = 300;
    MoveMouse(400, 300);
    dead = 0;
    gameover = 0;
}

void SetUpLevel() {
    ResetAll();
    level = level + 1;
    SetLevelDifficulty();
    for (int n = 0; n < nucsperlevel; ++n) {
        int slot = -1;
        for (int i = 0; i < 8; ++i)
            if (nucs[size_t(i)]->active == 0) slot = i;
        if (slot >= 0) CreateNucleus(slot);
    }
    for (int i = 0; i < tanksperlevel; ++i) CreateTanks();
    for (int i = 0; i < starsperlevel; ++i) CreateStars(-1, -1);
    for (int i = 0; i < pulsarsperlevel; ++i) CreatePulsars();
    if (level > 9 && nucsperlevel > 1) {
        const int tries = level / 8 + 1 + level % 4;
        for (int k = 0; k < tries; ++k) {
            const int i = int(Rnd(0, nucsperlevel - 2));
            const int j = i + 1;
            if (nucs[size_t(i)]->active == 2 && nucs[size_t(j)]->active == 2 &&
                bnds[size_t(i)][size_t(j)] == 0) {
                bnds[size_t(i)][size_t(j)] = 1;
                CreateBonds(nucs[size_t(i)], nucs[size_t(j)]);
            }
        }
    }
}

void SetLevelDifficulty() {
    const int L = level;
    segdur = std::max(25 - L / 6, 12);
    phspeed = float(std::min(L / 5 + 2, 12));
    phcreatewait = std::max(200 - 6 * L, 50);
    nucsperlevel = std::min(L / 8 + 3 + (L / 5) % 2, 8);
    nucspeed = float(std::min(L / 20 + 3, 8));
    nucact = L < 10 ? 1 : 2;
    bcountmax = float(std::max(1000 - 20 * L, 200));
    if (bcountmax <= 200) {
        bcountwarn = 40;
        bcountdead = 100;
    } else {
        bcountwarn = int(bcountmax - bcountmax / 2);
        bcountdead = int(bcountmax - bcountmax / 4);
    }
    tankminewait = L > 79 ? 50 : 70;
    tankspeed = L > 79 ? 4.5f : 3.0f;
    tanksperlevel = L < 13 ? 0 : 1 - L % 2 + (L > 39 && L % 3 == 0 ? 1 : 0);
    minedur = std::min(L / 2 + 100, 200);
    starsperlevel =
        L < 6 ? 0
              : std::min((L - 6) / 3 % 2 + (L % 5 < 2 ? 1 : 0) + (L > 30 && L % 3 == 1 ? 1 : 0), 3);
    starsplitwait = std::max(380 - 2 * L, 100);
    starspeed = float(std::min(L / 22 + 6, 10));
    pulsarsperlevel =
        L < 8 ? 0
              : std::min((L % 3 == 0 ? 1 : 0) + (L % 4 == 0 ? 1 : 0) +
                             (L > 24 && L % 5 == 0 ? 1 : 0) + (L > 49 && L % 2 == 0 ? 1 : 0),
                         4);
    pulsarspeed = std::min(2.5f + float(L / 22), 5.0f);
}

void LevelEm() {
    const int w = maxx - minx, h = maxy - miny;
    for (int i = 0; i < 5; ++i) {
        if (RectsOverlap(200 + 100 * i, 400, 10, 10, minx, miny, w, h) &&
            PointInPoly(205 + 100 * i, 405)) {
            levelselected = i;
            return;
        }
    }
}

void AlphaEm() {
    const int w = maxx - minx, h = maxy - miny;
    // Rows from the bottom up, columns from the right: the top row's rightmost cell wins.
    for (int r = 2; r >= 0; --r) {
        for (int c = 9; c >= 0; --c) {
            if (RectsOverlap(210 + 40 * c, 290 + 90 * r, 10, 10, minx, miny, w, h) &&
                PointInPoly(215 + 40 * c, 295 + 90 * r)) {
                letterselected = c + 10 * r;
                break;
            }
        }
    }
}
