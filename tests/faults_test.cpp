// Faults mended on purpose, each with the sound behaviour it now has.
#include "tests/game_fixture.h"

#include <climits>

#include "engine/headless/headless.h"
#include "shell/mainloop.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/game.h"
#include "state/loop.h"
#include "state/point.h"
#include "state/points.h"
#include "state/trail.h"
#include "state/world.h"
#include "tests/sim_helpers.h"

namespace {

using Mended = GameTest;

TEST_F(Mended, ADeathInTheLastCountedFrameOfALevelStillEndsTheGame) {
    World& world = CurrentWorld();
    SetLevelDifficulty();
    world.game.men = 1;
    world.game.dcount = 60; // the next counted frame would set up the next level
    auto p = New<phot>();
    p->x = 400, p->y = 300; // on the point: this frame kills
    PlayFrame();
    EXPECT_EQ(world.game.gameover, 1);
    EXPECT_EQ(world.game.level, 1);
    EXPECT_EQ(world.game.dcount, 60);
}

TEST_F(Mended, AGameLeftWithEscapeLeavesNoLiveNucleusOrBondBehind) {
    World& world = CurrentWorld();
    Nucleus(5, 300, 300, kNucBonding);
    Nucleus(6, 320, 300, kNucBonding);
    CreateBonds(world.field.nucs[5], world.field.nucs[6]);
    world.field.bondact = kBondsDeadly;
    world.game.gameover = kGameGoesOn;
    EndGame();
    for (auto& n : world.nuc_list) EXPECT_EQ(n.active, 0);
    EXPECT_EQ(world.field.bondact, 2);
    // The level choice's trail then crosses where they stood: no cut, no death.
    UpdateBonds();
    world.loop.loopmode = kLevelLoop;
    world.trail.segdur = 24;
    LayTo(250, 300);
    LayTo(350, 302);
    UpdateSegs();
    UpdatePlayer();
    EXPECT_EQ(world.point.dead, 0);
    EXPECT_EQ(world.field.fragsalive, 0);
    EXPECT_TRUE(Sounds().empty());
}

TEST_F(Mended, HugeBonusesAndScoresNeitherOverflowNorWrap) {
    World& world = CurrentWorld();
    EXPECT_EQ(StartBonus(706410), INT64_C(2147483320));
    EXPECT_EQ(StartBonus(1000000), INT64_C(3039996920));
    world.game.score = 2000000000;
    AddScore(StartBonus(1000000));
    EXPECT_EQ(world.game.score, INT_MAX);
    world.game.numfreemen = 200000; // thresholds compared in 64 bits
    CreatePoints(0, 0, 10);
    EXPECT_EQ(world.game.score, INT_MAX);
}

TEST_F(Mended, PhotonsLaunchedFromTheCentreLinesNeedNoDivisionByZero) {
    World& world = CurrentWorld();
    // Run under -fsanitize=float-divide-by-zero in the sanitizer build.
    world.difficulty.phspeed = 4;
    for (auto [px, py] :
         std::vector<std::pair<int, int>>{{400, 100}, {400, 500}, {100, 300}, {700, 300}}) {
        world.phot_list.Clear();
        world.point.x = px, world.point.y = py;
        CreatePhoton();
        ASSERT_EQ(world.phot_list.Count(), 1);
        const auto& p = *world.phot_list.First();
        EXPECT_TRUE(std::isfinite(p.dx) && std::isfinite(p.dy));
        EXPECT_FLOAT_EQ(std::hypot(p.dx, p.dy), 4);
    }
    world.point.x = 400, world.point.y = 300; // on the centre: no direction, no photon
    world.phot_list.Clear();
    CreatePhoton();
    EXPECT_EQ(world.phot_list.Count(), 0);
}

} // namespace
