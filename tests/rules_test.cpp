// The rules at the edges the golden replays never reach: the point, the trail and its loops,
// the atom, the hostiles, and the faults mended on purpose (each with the sound behaviour it now
// has). What a level plays frame by frame is the golden replays' to pin.
#include "tests/game_fixture.h"

#include <climits>
#include <cmath>

#include "atom/enemies.h"
#include "engine/headless/headless.h"
#include "hostiles/frag.h"
#include "hostiles/kinds.h"
#include "hostiles/photon.h"
#include "player/interact.h"
#include "record/trace.h"
#include "screens/death.h"
#include "screens/hud.h"
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

// The point, the trail, closing loops and what they catch, popups, death and fragments.

TEST(Contact, BoxesOverlapStrictlyAndTheHitBoxFollowsTheReach) {
    EXPECT_FALSE(RectsOverlap(0, 0, 10, 10, 10, 0, 5, 5)); // sharing an edge
    EXPECT_TRUE(RectsOverlap(0, 0, 10, 10, 9, 9, 5, 5));
    EXPECT_TRUE(RectsOverlap(5, 5, 0, 0, 0, 0, 10, 10));  // a 0-wide box inside acts as a line
    EXPECT_FALSE(RectsOverlap(0, 5, 0, 0, 0, 0, 10, 10)); // ... but not on the left edge
}

using Player = GameTest;

TEST_F(Player, HitBoxIsTwiceTheReachPlusOne) {
    World& world = CurrentWorld();
    // pw 10 reaches 6 (0.7 as stored), so the box is 13 x 13: a nucleus box 11 x 11 centred
    // 11 pixels away touches it, 12 pixels away does not (it would with a reach of 7).
    world.point.pw = 10;
    Nucleus(0, 400 + 11, 300);
    UpdatePlayer();
    EXPECT_EQ(world.point.dead, 1);
    EXPECT_EQ(world.field.fragsalive, 64);
    SetUp();
    world.point.pw = 10;
    Nucleus(0, 400 + 12, 300);
    UpdatePlayer();
    EXPECT_EQ(world.point.dead, 0);
    EXPECT_EQ(world.field.nucsalive, 1);
    world.field.nucs[0]->caught = 1;
    UpdatePlayer();
    EXPECT_EQ(world.field.nucsalive, 0);
}

TEST_F(Player, TwoPhotonsBurstTwiceTwoPulsarsOnce) {
    World& world = CurrentWorld();
    for (int i = 0; i < 2; ++i) {
        auto p = New<phot>();
        p->x = 400, p->y = 300;
    }
    UpdatePlayer();
    EXPECT_EQ(world.field.fragsalive, 112); // 64, then rings while fewer than 100: 80, 96, 112
    EXPECT_EQ(world.Frag_list.Count(), 112);
    SetUp();
    for (int i = 0; i < 2; ++i) {
        auto s = New<pulsar>();
        s->x = 400, s->y = 300;
    }
    UpdatePlayer();
    EXPECT_EQ(world.field.fragsalive, 64);
    CreateFrags();
    CreateFrags();
    EXPECT_EQ(world.field.fragsalive, 112);
}

using Loop = GameTest;

TEST_F(Loop, ASharpTurnBackClosesATwoVertexLoopAndClearsTheOlderTrail) {
    World& world = CurrentWorld();
    LayTo(300, 300);
    LayTo(200, 310);
    LayTo(150, 250);
    LayTo(250, 240);
    ASSERT_EQ(world.trail.looping, 0); // turns that keep one direction close nothing
    LayTo(200, 250);                   // back against the previous segment on both axes
    ASSERT_EQ(world.trail.looping, 1);
    EXPECT_EQ(world.loop.numsegsinloop, 2);
    EXPECT_EQ(Sounds(), std::vector<std::string>{"loop"});
    for (int i = 0; i < 2; ++i) UpdateSegs();
    EXPECT_EQ(world.trail.segs, 2); // everything older than the loop is gone
}

TEST_F(Loop, VerticalAndHorizontalSpecialCases) {
    World& world = CurrentWorld();
    // A vertical new segment does not close a loop with a sloping one it crosses.
    LayTo(300, 200);
    LayTo(250, 300);
    LayTo(350, 320);
    LayTo(350, 150); // crosses the first segment at (350, 250)
    EXPECT_EQ(world.trail.looping, 0);
    SetUp();
    // Crossing a vertical segment closes the loop at the point's position.
    LayTo(300, 200);
    LayTo(300, 100);
    LayTo(360, 80);
    LayTo(380, 160);
    EXPECT_EQ(world.trail.looping, 0);
    LayTo(290, 170); // across x 300
    ASSERT_EQ(world.trail.looping, 1);
    EXPECT_EQ(world.loop.xpseg[0], 290);
    EXPECT_EQ(world.loop.ypseg[0], 170);
    SetUp();
    // Two horizontal segments whose boxes overlap close one too.
    LayTo(300, 300);
    LayTo(250, 200);
    LayTo(350, 250);
    LayTo(420, 300); // slopes back down onto the first, horizontal, segment's line
    LayTo(340, 300);
    EXPECT_EQ(world.trail.looping, 1);
}

TEST_F(Loop, PointInPolyCountsEdgesEvenOddWithHalfOpenEnds) {
    // A square from (100, 100) to (200, 200), and a triangle with a vertex at y 150.
    SetLoop({{100, 100}, {200, 100}, {200, 200}, {100, 200}, {100, 100}});
    EXPECT_EQ(PointInPoly(150, 150), 1);
    EXPECT_EQ(PointInPoly(100, 150), 1); // on the left edge: the right edge still counts
    EXPECT_EQ(PointInPoly(200, 150), 0); // on the right edge: not counted by it
    EXPECT_EQ(PointInPoly(150, 100), 1); // top edge: horizontal edges never count
    EXPECT_EQ(PointInPoly(150, 200), 0); // bottom: each edge excludes its larger y
    EXPECT_EQ(PointInPoly(250, 150), 0);
    SetLoop({{100, 100}, {200, 150}, {100, 200}, {100, 100}});
    EXPECT_EQ(PointInPoly(50, 150), 0); // through the vertex where the outline turns back
    EXPECT_EQ(PointInPoly(150, 150), 1);
}

TEST_F(Loop, KillEmMarksWhatIsInsideAndCountsIt) {
    World& world = CurrentWorld();
    // A square loop from (100, 100) to (300, 300).
    SetLoop({{100, 100}, {300, 100}, {300, 300}, {100, 300}, {100, 100}});
    world.loop.minx = world.loop.miny = 100, world.loop.maxx = world.loop.maxy = 300;
    nuc& in = Nucleus(0, 150, 150);
    nuc& edge = Nucleus(1, 300, 200); // truncated x equals maxx: never inside
    nuc& out = Nucleus(2, 350, 150);
    auto e1 = New<elec>();
    e1->parent = world.field.nucs[0], e1->ox = 10, e1->oy = 10; // with its nucleus
    auto e2 = New<elec>();
    e2->parent = world.field.nucs[2], e2->ox = -100, e2->oy = 0; // without it
    auto st = New<star>();
    st->x = 110, st->y = 290; // inside the box: counted, and inside the square too
    auto m = New<mine>();
    m->x = 200, m->y = 200, m->life = 15; // too small to catch
    KillEm();
    EXPECT_EQ(in.caught, 1);
    EXPECT_EQ(edge.caught, 0);
    EXPECT_EQ(out.caught, 0);
    EXPECT_EQ(in.elecs, 1);
    EXPECT_EQ(e1->withnuc, 1);
    EXPECT_EQ(e2->caught, 1);
    EXPECT_EQ(e2->withnuc, 0);
    EXPECT_EQ(world.field.nucs[2]->elecs, 0);
    EXPECT_EQ(st->caught, 1);
    EXPECT_EQ(world.loop.numstarskilled, 1);
    EXPECT_EQ(m->caught, 0);
    EXPECT_EQ(world.loop.g_numkilled, 2);
    EXPECT_EQ(world.point.nucskilled, 1);
    EXPECT_TRUE(Sounds().empty());

    // A triangle whose bounding box holds a star that the polygon does not.
    SetLoop({{100, 100}, {300, 100}, {100, 300}, {100, 100}});
    auto far = New<star>();
    far->x = 290, far->y = 290;
    KillEm();
    EXPECT_EQ(far->caught, 0);
    EXPECT_EQ(world.loop.numstarskilled, 2);
    EXPECT_EQ(Sounds(), std::vector<std::string>{"loop"});
}

TEST_F(Loop, LiveBondsKillTheTrailAndSnapThePoint) {
    World& world = CurrentWorld();
    Nucleus(0, 300, 200, kNucBonding);
    Nucleus(1, 500, 240, kNucBonding);
    CreateBonds(world.field.nucs[0], world.field.nucs[1]);
    LayTo(400, 260);
    LayTo(402, 190); // crosses the bond, which is harmless
    EXPECT_EQ(world.point.dead, 0);
    world.field.bondact = kBondsDeadly;
    LayTo(404, 260);
    EXPECT_EQ(world.point.dead, 1);
    EXPECT_EQ(world.field.fragsalive, 64);
    EXPECT_EQ(world.point.y, 220); // snapped onto the bond: y 200 + 0.2 x (x - 300)
    EXPECT_NEAR(world.seg_list.First()->y1, 220.6, 0.5);
    // A bond whose nuclei share an x is never crossed (and divides by nothing).
    SetUp();
    world.field.bondact = kBondsDeadly;
    Nucleus(0, 300, 200, kNucBonding);
    Nucleus(1, 300, 400, kNucBonding);
    CreateBonds(world.field.nucs[0], world.field.nucs[1]);
    LayTo(250, 300);
    LayTo(350, 310);
    EXPECT_EQ(world.point.dead, 0);
    UpdatePlayer();
    EXPECT_EQ(world.point.dead, 0);
}

using Death = GameTest;

TEST_F(Death, FragmentsFadeAndLeaveTheScreen) {
    World& world = CurrentWorld();
    world.point.x = 400, world.point.y = 300;
    CreateFrags();
    ASSERT_EQ(world.Frag_list.Count(), 64);
    auto f = world.Frag_list.First();
    f->dx = 0, f->dy = 0, f->r = 255, f->g = 0, f->b = 0;
    UpdateFrags();
    EXPECT_EQ(f->r, 253);
    for (int i = 0; i < 49; ++i) UpdateFrags();
    EXPECT_EQ(f->r, 155);
    UpdateFrags();
    EXPECT_EQ(world.field.fragsalive, 0); // every fragment is gone after 51 updates
    auto edge = New<Frag>();
    world.field.fragsalive = 1;
    edge->x = 800, edge->life = 50;
    UpdateFrags();
    EXPECT_EQ(world.field.fragsalive, 1); // exactly on the border stays
    edge->x = 800.5f;
    UpdateFrags();
    EXPECT_EQ(world.field.fragsalive, 0); // past it, gone
}

// Levels and the atom: difficulty, set-up, nuclei, electrons and bonds.

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

// Photons, tanks, mines, stars and pulsars.

using Hostiles = GameTest;

TEST_F(Hostiles, PhotonsLaunchFromTheFarBorderThroughTheCentre) {
    World& world = CurrentWorld();
    struct Case {
        double px, py, ex, ey;
    } cases[] = {{200, 200, 800, 500},     {400, 100, 400, 600}, {200, 150, 800, 600},
                 {700, 500, 0, 100.0 / 3}, {600, 300, 0, 300},   {400, 500, 400, 0},
                 {300, 300, 800, 300},     {100, 450, 800, 100}};
    for (const Case& c : cases) {
        double ex = -1, ey = -1;
        ASSERT_TRUE(PhotonLaunchPoint(c.px, c.py, ex, ey));
        EXPECT_NEAR(ex, c.ex, 1e-9) << c.px << "," << c.py;
        EXPECT_NEAR(ey, c.ey, 1e-9) << c.px << "," << c.py;
    }
    double ex, ey;
    EXPECT_FALSE(PhotonLaunchPoint(400, 300, ex, ey));
    // On the centre there is no direction: the launch is skipped.
    world.game.level = 5, world.difficulty.phspeed = 3;
    CreatePhoton();
    EXPECT_EQ(world.phot_list.Count(), 0);
    world.point.x = 200, world.point.y = 200;
    CreatePhoton();
    ASSERT_EQ(world.phot_list.Count(), 1);
    auto p = world.phot_list.First();
    EXPECT_FLOAT_EQ(p->dx * p->dx + p->dy * p->dy, 9);
    EXPECT_LT(p->dx, 0);
}

TEST_F(Hostiles, PhotonsLeaveStrictlyBeyondTheBorders) {
    World& world = CurrentWorld();
    auto p = New<phot>();
    p->x = 799, p->y = 300, p->dx = 1;
    UpdatePhotons();
    EXPECT_EQ(world.phot_list.Count(), 1); // exactly on 800 stays
    UpdatePhotons();
    EXPECT_EQ(world.phot_list.Count(), 0);
}

TEST_F(Hostiles, MinesAreDangerousAndCatchableOnlyAboveLifeFifteen) {
    World& world = CurrentWorld();
    CreateMine(400, 300);
    world.mine_list.First()->life = 15;
    UpdatePlayer();
    EXPECT_EQ(world.point.dead, 0);
    world.mine_list.First()->life = 16;
    UpdatePlayer();
    EXPECT_EQ(world.point.dead, 1);
}

TEST_F(Hostiles, PulsarsPulseSoundAndGuardWithTheirShield) {
    World& world = CurrentWorld();
    auto p = New<pulsar>();
    p->x = 300, p->y = 300, p->pulse = 19, p->dir = 1;
    std::vector<int> pulses;
    for (int f = 0; f < 96; ++f) {
        UpdatePulsars();
        p->x = 300, p->y = 300;
        pulses.push_back(p->pulse);
        if (f == 0) {
            RenderPulsars();
            RenderPulsars();
        }
    }
    EXPECT_EQ(pulses[0], 20);
    EXPECT_EQ(*std::max_element(pulses.begin(), pulses.end()), 48);
    EXPECT_EQ(std::count(pulses.begin(), pulses.end(), 48), 1);
    EXPECT_EQ(std::count(pulses.begin(), pulses.end(), 0), 1);
    EXPECT_EQ(pulses.back(), 19);                                        // a 96-frame cycle
    EXPECT_EQ(Sounds(), (std::vector<std::string>{"pulsar", "pulsar"})); // once per drawing
    p->pulse = 20, p->dir = -1;                                          // falling: silent
    RenderPulsars();
    EXPECT_TRUE(Sounds().empty());
    // The player touches the shield's far corner only once it is grown.
    world.point.x = 265, world.point.y = 312; // beside the left side stroke (-35, -10)..(-35, 12)
    p->pulse = 35;                            // k 8: not yet
    UpdatePlayer();
    EXPECT_EQ(world.point.dead, 0);
    p->pulse = 36; // k 9
    UpdatePlayer();
    EXPECT_EQ(world.point.dead, 1);
}

// The table of kinds is the game's order: what a frame updates and draws, what a level starts
// with, and what comes back after a lost life, each once; and the trace counts and places every
// kind by its key.
TEST_F(Hostiles, EachKindOfTheTableIsTracedAndClearedAsItSays) {
    // A level, and one of each kind it may lack: each kind's count and places in the trace come
    // from the table.
    CurrentWorld().game.level = 61;
    SetUpLevel();
    New<phot>();
    CreateMine(100, 100);
    CreateStars(-1, -1);
    const std::string line = TraceLine(0, 0, true, {});
    for (const HostileKind& k : HostileKinds()) {
        EXPECT_THAT(line, HasSubstr(std::string("\"") + k.traceKey +
                                    "\":" + std::to_string(k.list().Count())))
            << k.traceKey << " in " << line;
        EXPECT_GT(k.list().Count() + !k.places, 0) << k.traceKey;
        if (k.places) {
            EXPECT_THAT(line, HasSubstr(std::string("\"") + k.traceKey + "s\":[[")) << k.traceKey;
        }
    }
    CreateFrags();
    ClearHostiles(); // the fragments of a death run out on their own
    for (const HostileKind& k : HostileKinds())
        EXPECT_EQ(k.list().Empty(), k.clearedWithLevel) << k.traceKey;
}

// Faults mended on purpose, each with the sound behaviour it now has.

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
