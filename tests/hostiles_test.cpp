// Photons, tanks, mines, stars and pulsars.
#include "tests/game_fixture.h"

#include <cmath>

#include "atom/enemies.h"
#include "hostiles/frag.h"
#include "hostiles/kinds.h"
#include "record/trace.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/game.h"
#include "state/loop.h"
#include "state/point.h"
#include "state/trail.h"
#include "state/world.h"

namespace {

using ::testing::HasSubstr;

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

TEST_F(Hostiles, PhotonsTurnFlashAndLeaveStrictlyBeyondTheBorders) {
    World& world = CurrentWorld();
    auto p = New<phot>();
    p->x = 799, p->y = 300, p->dx = 1;
    UpdatePhotons();
    EXPECT_EQ(p->frame, 1);
    EXPECT_EQ(world.phot_list.Count(), 1); // exactly on 800 stays
    UpdatePhotons();
    EXPECT_EQ(world.phot_list.Count(), 0);
    const int before = world.field.phcol;
    RenderPhotons(); // advances with no photon alive
    EXPECT_EQ(world.field.phcol, (before + 1) % 3);
    // Caught: stands at double size until the loop ends, then pays.
    auto c = New<phot>();
    c->x = 300, c->y = 300, c->caught = 1, c->frame = 3;
    world.trail.looping = 1;
    UpdatePhotons();
    EXPECT_EQ(c->frame, 0);
    Cls();
    RenderPhotons();
    EXPECT_NE(BackBuffer()[280 * 800 + 300], 0u); // the tip at (0, -20)
    world.trail.looping = 0;
    world.loop.g_numkilled = 2;
    UpdatePhotons();
    EXPECT_EQ(world.game.score, 400);
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

TEST_F(Hostiles, NewStarsLeadTheListAndAreInvisibleBeforeTheirFirstUpdate) {
    World& world = CurrentWorld();
    CreateStars(100, 100);
    CreateStars(200, 200);
    EXPECT_EQ(world.star_list.First()->x, 200);
    EXPECT_EQ(world.star_list.Count(), 2);
    world.star_list.First()->frame = 20;
    world.star_list.Last()->frame = 0;
    Cls();
    RenderStars();
    EXPECT_EQ(BackBuffer()[190 * 800 + 200], 0u); // phase 5 draws nothing
    EXPECT_NE(BackBuffer()[90 * 800 + 100], 0u);  // phase 0: the tip at (0, -10)
    // A caught star pays 100 per star caught lately, doubled with company.
    world.loop.numstarskilled = 3;
    world.star_list.Last()->caught = 1;
    world.loop.g_numkilled = 2;
    UpdateStars();
    EXPECT_EQ(world.game.score, 600);
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

} // namespace
