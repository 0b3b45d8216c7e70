#include "atom/level.h"

#include <algorithm>

#include "atom/bond.h"
#include "atom/electron.h"
#include "atom/nucleus.h"
#include "engine/input.h"
#include "hostiles/mine.h"
#include "hostiles/photon.h"
#include "hostiles/pulsar.h"
#include "hostiles/star.h"
#include "hostiles/tank.h"
#include "player/capture.h"
#include "player/player.h"
#include "player/points.h"
#include "player/trail.h"
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
    bondact = 2;
    nucskilled = 0;
    numstarskilled = 0;
    pw = 4;
    pwtimer = 0;
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
}

void SetLevelDifficulty() { segdur = std::max(25 - level / 6, 12); }
