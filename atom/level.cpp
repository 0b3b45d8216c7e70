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
    World& world = CurrentWorld();
    world.bond_list.Clear();
    world.elec_list.Clear();
    world.pnts_list.Clear();
    ClearHostiles();
}

void ResetAll() {
    World& world = CurrentWorld();
    for (int i = 0; i < 8; ++i) world.field.nucs[size_t(i)]->active = kSlotFree;
    ClearSegs();
    ClearLevelLists(); // not the fragments: they are left to run out
    world.field.NewLevel(world.difficulty.starsplitwait);
    world.trail.NewLevel();
    world.loop.numstarskilled = 0;
    world.point.Reset(); // in the middle, the smallest reticle, alive
    MoveMouse(world.point.x, world.point.y);
    world.game.gameover = kGameGoesOn;
}

void SetUpLevel() {
    World& world = CurrentWorld();
    ResetAll();
    world.game.level = world.game.level + 1;
    SetLevelDifficulty();
    for (int n = 0; n < world.difficulty.nucsperlevel; ++n) {
        int slot = -1;
        for (int i = 0; i < 8; ++i)
            if (world.field.nucs[size_t(i)]->active == kSlotFree) slot = i;
        if (slot >= 0) CreateNucleus(slot);
    }
    for (const HostileKind& kind : HostileKinds())
        if (kind.spawn)
            for (int i = 0; i < world.difficulty.*kind.perLevel; ++i) kind.spawn();
    if (world.game.level > 9 && world.difficulty.nucsperlevel > 1) {
        const int tries = world.game.level / 8 + 1 + world.game.level % 4;
        for (int k = 0; k < tries; ++k) {
            const int i = int(Rnd(0, world.difficulty.nucsperlevel - 2));
            const int j = i + 1;
            if (world.field.nucs[size_t(i)]->active == kNucBonding &&
                world.field.nucs[size_t(j)]->active == kNucBonding &&
                world.field.bnds[size_t(i)][size_t(j)] == 0) {
                world.field.bnds[size_t(i)][size_t(j)] = 1;
                CreateBonds(world.field.nucs[size_t(i)], world.field.nucs[size_t(j)]);
            }
        }
    }
}

void SetLevelDifficulty() {
    World& world = CurrentWorld();
    world.difficulty = DifficultyOf(world.game.level);
    world.trail.segdur = world.difficulty.segdur;
    world.field.phcreatewait = world.difficulty.phcreatewait;
}

void LevelEm() {
    World& world = CurrentWorld();
    const int w = world.loop.maxx - world.loop.minx, h = world.loop.maxy - world.loop.miny;
    for (int i = 0; i < 5; ++i) {
        if (RectsOverlap(200 + 100 * i, 400, 10, 10, world.loop.minx, world.loop.miny, w, h) &&
            PointInPoly(205 + 100 * i, 405)) {
            world.loop.levelselected = i;
            return;
        }
    }
}

void AlphaEm() {
    World& world = CurrentWorld();
    const int w = world.loop.maxx - world.loop.minx, h = world.loop.maxy - world.loop.miny;
    // Rows from the bottom up, columns from the right: the top row's rightmost cell wins.
    for (int r = 2; r >= 0; --r) {
        for (int c = 9; c >= 0; --c) {
            if (RectsOverlap(210 + 40 * c, 290 + 90 * r, 10, 10, world.loop.minx, world.loop.miny,
                             w, h) &&
                PointInPoly(215 + 40 * c, 295 + 90 * r)) {
                world.loop.letterselected = c + 10 * r;
                break;
            }
        }
    }
}
