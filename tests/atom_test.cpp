// Levels and the atom: difficulty, set-up, nuclei, electrons and bonds.
#include "tests/game_fixture.h"

#include <cmath>

#include "atom/enemies.h"
#include "hostiles/photon.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/game.h"
#include "state/loop.h"
#include "state/point.h"
#include "state/points.h"
#include "state/trail.h"
#include "state/world.h"

namespace {

using Atom = GameTest;

// level, nucsperlevel, nucspeed, nucact, phspeed, phcreatewait, tanksperlevel, tankspeed,
// tankminewait, minedur, starsperlevel, starsplitwait, starspeed, pulsarsperlevel, pulsarspeed,
// segdur, bcountmax, bcountwarn, bcountdead
const double kReference[][19] = {
    {1, 3, 3, 1, 2, 194, 0, 3, 70, 100, 0, 378, 6, 0, 2.5, 25, 980, 490, 735},
    {2, 3, 3, 1, 2, 188, 0, 3, 70, 101, 0, 376, 6, 0, 2.5, 25, 960, 480, 720},
    {3, 3, 3, 1, 2, 182, 0, 3, 70, 101, 0, 374, 6, 0, 2.5, 25, 940, 470, 705},
    {4, 3, 3, 1, 2, 176, 0, 3, 70, 102, 0, 372, 6, 0, 2.5, 25, 920, 460, 690},
    {5, 4, 3, 1, 3, 170, 0, 3, 70, 102, 0, 370, 6, 0, 2.5, 25, 900, 450, 675},
    {6, 4, 3, 1, 3, 164, 0, 3, 70, 103, 1, 368, 6, 0, 2.5, 24, 880, 440, 660},
    {7, 4, 3, 1, 3, 158, 0, 3, 70, 103, 0, 366, 6, 0, 2.5, 24, 860, 430, 645},
    {8, 5, 3, 1, 3, 152, 0, 3, 70, 104, 0, 364, 6, 1, 2.5, 24, 840, 420, 630},
    {9, 5, 3, 1, 3, 146, 0, 3, 70, 104, 1, 362, 6, 1, 2.5, 24, 820, 410, 615},
    {10, 4, 3, 2, 4, 140, 0, 3, 70, 105, 2, 360, 6, 0, 2.5, 24, 800, 400, 600},
    {11, 4, 3, 2, 4, 134, 0, 3, 70, 105, 2, 358, 6, 0, 2.5, 24, 780, 390, 585},
    {12, 4, 3, 2, 4, 128, 0, 3, 70, 106, 0, 356, 6, 2, 2.5, 23, 760, 380, 570},
    {13, 4, 3, 2, 4, 122, 0, 3, 70, 106, 0, 354, 6, 0, 2.5, 23, 740, 370, 555},
    {14, 4, 3, 2, 4, 116, 1, 3, 70, 107, 0, 352, 6, 0, 2.5, 23, 720, 360, 540},
    {15, 5, 3, 2, 5, 110, 0, 3, 70, 107, 2, 350, 6, 1, 2.5, 23, 700, 350, 525},
    {16, 6, 3, 2, 5, 104, 1, 3, 70, 108, 2, 348, 6, 1, 2.5, 23, 680, 340, 510},
    {17, 6, 3, 2, 5, 98, 0, 3, 70, 108, 1, 346, 6, 0, 2.5, 23, 660, 330, 495},
    {18, 6, 3, 2, 5, 92, 1, 3, 70, 109, 0, 344, 6, 1, 2.5, 22, 640, 320, 480},
    {19, 6, 3, 2, 5, 86, 0, 3, 70, 109, 0, 342, 6, 0, 2.5, 22, 620, 310, 465},
    {20, 5, 4, 2, 6, 80, 1, 3, 70, 110, 1, 340, 6, 1, 2.5, 22, 600, 300, 450},
    {24, 6, 4, 2, 6, 56, 1, 3, 70, 112, 0, 332, 7, 2, 3.5, 21, 520, 260, 390},
    {25, 7, 4, 2, 7, 50, 0, 3, 70, 112, 1, 330, 7, 1, 3.5, 21, 500, 250, 375},
    {30, 6, 4, 2, 8, 50, 1, 3, 70, 115, 1, 320, 7, 2, 3.5, 20, 400, 200, 300},
    {35, 8, 4, 2, 9, 50, 0, 3, 70, 117, 2, 310, 7, 1, 3.5, 20, 300, 150, 225},
    {39, 8, 4, 2, 9, 50, 0, 3, 70, 119, 1, 302, 7, 1, 3.5, 19, 220, 110, 165},
    {40, 8, 5, 2, 10, 50, 1, 3, 70, 120, 3, 300, 7, 2, 3.5, 19, 200, 40, 100},
    {44, 8, 5, 2, 10, 50, 1, 3, 70, 122, 0, 292, 8, 1, 4.5, 18, 200, 40, 100},
    {50, 8, 5, 2, 12, 50, 1, 3, 70, 125, 1, 280, 8, 2, 4.5, 17, 200, 40, 100},
    {60, 8, 6, 2, 12, 50, 2, 3, 70, 130, 1, 260, 8, 4, 4.5, 15, 200, 40, 100},
    {66, 8, 6, 2, 12, 50, 2, 3, 70, 133, 1, 248, 9, 2, 5, 14, 200, 40, 100},
    {80, 8, 7, 2, 12, 50, 1, 4.5, 50, 140, 1, 220, 9, 3, 5, 12, 200, 40, 100},
    {88, 8, 7, 2, 12, 50, 1, 4.5, 50, 144, 2, 204, 10, 2, 5, 12, 200, 40, 100},
    {100, 8, 8, 2, 12, 50, 1, 4.5, 50, 150, 3, 180, 10, 3, 5, 12, 200, 40, 100},
};

std::vector<double> Difficulty() {
    World& world = CurrentWorld();
    return {double(world.difficulty.nucsperlevel),
            world.difficulty.nucspeed,
            double(world.difficulty.nucact),
            world.difficulty.phspeed,
            double(world.difficulty.phcreatewait),
            double(world.difficulty.tanksperlevel),
            world.difficulty.tankspeed,
            double(world.difficulty.tankminewait),
            double(world.difficulty.minedur),
            double(world.difficulty.starsperlevel),
            double(world.difficulty.starsplitwait),
            world.difficulty.starspeed,
            double(world.difficulty.pulsarsperlevel),
            world.difficulty.pulsarspeed,
            double(world.trail.segdur),
            world.difficulty.bcountmax,
            double(world.difficulty.bcountwarn),
            double(world.difficulty.bcountdead)};
}

TEST_F(Atom, DifficultyFollowsTheReferenceTableAndItsCaps) {
    World& world = CurrentWorld();
    for (const auto& row : kReference) {
        world.game.level = int(row[0]);
        SetLevelDifficulty();
        EXPECT_EQ(Difficulty(), std::vector<double>(row + 1, row + 19))
            << "level " << world.game.level;
    }
    for (world.game.level = 1; world.game.level <= 300; ++world.game.level) {
        SetLevelDifficulty();
        EXPECT_GE(world.difficulty.phcreatewait, 50);
        EXPECT_LE(world.difficulty.nucsperlevel, 8);
        EXPECT_GE(world.difficulty.bcountmax, 200);
        EXPECT_LE(world.difficulty.phspeed, 12);
        EXPECT_LE(world.difficulty.pulsarspeed, 5);
        EXPECT_GE(world.trail.segdur, 12);
        EXPECT_LE(world.difficulty.starspeed, 10);
        EXPECT_LE(world.difficulty.nucspeed, 8);
        EXPECT_GE(world.difficulty.starsplitwait, 100);
        EXPECT_LE(world.difficulty.minedur, 200);
        EXPECT_LE(world.difficulty.starsperlevel, 3);
        EXPECT_LE(world.difficulty.pulsarsperlevel, 4);
        EXPECT_EQ(world.difficulty.nucact, world.game.level < 10 ? 1 : 2);
    }
    world.game.level = 78, SetLevelDifficulty();
    EXPECT_EQ(world.trail.segdur, 12);
    world.game.level = 140, SetLevelDifficulty();
    EXPECT_EQ(world.difficulty.starsplitwait, 100);
    world.game.level = 200, SetLevelDifficulty();
    EXPECT_EQ(world.difficulty.minedur, 200);
}

std::vector<int> ActiveSlots() {
    std::vector<int> slots;
    for (int i = 0; i < 8; ++i)
        if (CurrentWorld().field.nucs[size_t(i)]->active) slots.push_back(i);
    return slots;
}

TEST_F(Atom, SetUpLevelFillsTheHighestSlotsAndTriesItsBonds) {
    World& world = CurrentWorld();
    New<Frag>();
    world.game.level = 0;
    world.field.phcreatewait = 100; // what an earlier level left
    SetUpLevel();
    EXPECT_EQ(world.game.level, 1);
    EXPECT_EQ(ActiveSlots(), (std::vector<int>{5, 6, 7}));
    EXPECT_EQ(world.field.nucs[5]->active, 1);
    EXPECT_EQ(world.bond_list.Count(), 0);
    EXPECT_EQ(world.Frag_list.Count(), 1); // fragments outlive the level change
    EXPECT_EQ(world.field.phtimer, 110); // from the wait as it stood before this level's difficulty
    for (int slot : ActiveSlots()) {
        const nuc& n = *world.field.nucs[size_t(slot)];
        EXPECT_GE(std::fabs(n.x - 400), 50);
        EXPECT_GE(std::fabs(n.y - 300), 50);
        EXPECT_LT(n.cnum, 6);
    }
    const int electrons = world.elec_list.Count();
    EXPECT_GE(electrons, 3);
    EXPECT_LE(electrons, 15);

    world.game.level = 9;
    SetUpLevel();
    EXPECT_EQ(ActiveSlots(), (std::vector<int>{4, 5, 6, 7}));
    EXPECT_EQ(world.bond_list.Count(), 0); // i from 0..1 meets no pair of live slots

    for (int seed = 1; seed <= 20; ++seed) {
        SeedRnd(seed);
        world.game.level = 34;
        SetUpLevel();
        EXPECT_EQ(ActiveSlots().size(), 8u);
        EXPECT_EQ(world.field.bnds[6][7], 0);
        for (auto& bd : world.bond_list) EXPECT_EQ(bd.nuc2->slot, bd.nuc1->slot + 1);
        EXPECT_LE(world.bond_list.Count(), 35 / 8 + 1 + 35 % 4);
    }
    EXPECT_EQ(world.point.x, 400);
    EXPECT_EQ(MouseX(), 400);
}

TEST_F(Atom, OnlyBondCapableNucleiCloserThanTenBond) {
    World& world = CurrentWorld();
    Nucleus(0, 300, 300, kNucBonding);
    Nucleus(1, 309.9f, 290.1f, kNucBonding);
    Nucleus(2, 300, 310, kNucBonding); // exactly 10 from slot 0 on y
    Nucleus(3, 301, 301, kNucAlive);   // too early a level to bond
    Nucleus(4, 500, 500, kNucBonding);
    Nucleus(5, 500, 510.5f, kNucBonding); // 10.5 apart on y
    Nucleus(6, 600, 100, kNucBonding);
    Nucleus(7, 610, 100, kNucBonding); // exactly 10 apart on x
    UpdateBonds();
    ASSERT_EQ(world.bond_list.Count(), 1);
    EXPECT_EQ(world.bond_list.First()->nuc1->slot, 0);
    EXPECT_EQ(world.bond_list.First()->nuc2->slot, 1);
}

TEST_F(Atom, ThePhotonLauncherCountsDownEvenWithoutLaunching) {
    World& world = CurrentWorld();
    world.game.level = 1;
    SetLevelDifficulty();
    world.field.phtimer = 0;
    const int wait = world.field.phcreatewait;
    EXPECT_EQ(wait, world.difficulty.phcreatewait);
    UpdateEnemies();
    EXPECT_EQ(world.field.phtimer, wait + 10);
    EXPECT_EQ(world.field.phcreatewait, wait - 1);
    EXPECT_EQ(world.difficulty.phcreatewait, wait); // the level's own stays
    EXPECT_TRUE(Sounds().empty());                  // level 1 launches nothing
    world.game.level = 2;
    world.field.nucsalive = 1;
    world.field.phtimer = 0;
    world.point.x = 400, world.point.y = 300; // on the centre: no direction, no launch and no sound
    UpdateEnemies();
    EXPECT_EQ(world.field.phtimer, wait + 9);
    EXPECT_EQ(world.phot_list.Count(), 0);
    EXPECT_TRUE(Sounds().empty());
    world.point.x = 100;
    world.field.phtimer = 0;
    UpdateEnemies();
    EXPECT_EQ(world.phot_list.Count(), 1);
    EXPECT_EQ(Sounds(), std::vector<std::string>{"photon"});
}

} // namespace
