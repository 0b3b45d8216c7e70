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

TEST_F(Hostiles, TanksLayMinesInRhythmAndWarnInWhite) {
    World& world = CurrentWorld();
    world.game.level = 14;
    SetLevelDifficulty();
    for (int i = 0; i < 50; ++i) {
        CreateTanks();
        const tank& t = *world.tank_list.Last();
        EXPECT_GE(std::fabs(t.x - 400), 50);
        EXPECT_GE(std::fabs(t.y - 300), 50);
        EXPECT_LT(t.frame, 31);
    }
    world.tank_list.Clear();
    auto t = New<tank>();
    t->x = 300, t->y = 300, t->timer = 0;
    world.field.nucsalive = 1;
    std::vector<int> mines, whites;
    for (int f = 1; f <= 150; ++f) {
        const int before = world.mine_list.Count();
        UpdateTanks();
        t->x = 300, t->y = 300, t->dx = t->dy = 0; // keep it still
        if (world.mine_list.Count() > before) mines.push_back(f);
        Cls();
        RenderTanks();
        bool white = false;
        for (int py = 280; py <= 320; ++py)
            for (int px = 280; px <= 320; ++px) white |= BackBuffer()[py * 800 + px] == 0xffffffu;
        if (white) whites.push_back(f);
    }
    ASSERT_GE(mines.size(), 2u);
    EXPECT_EQ(mines[1] - mines[0], 71);
    // Timer 10 onwards: white for the eleven frames before each mine.
    EXPECT_EQ(whites, (std::vector<int>{61,  62,  63,  64,  65,  66,  67,  68,  69,  70,  71,
                                        132, 133, 134, 135, 136, 137, 138, 139, 140, 141, 142}));
    EXPECT_EQ(Sounds().size(), mines.size());
    world.field.nucsalive = 0;
    world.mine_list.Clear();
    for (int f = 0; f < 100; ++f) UpdateTanks();
    EXPECT_EQ(world.mine_list.Count(), 0); // no nucleus: rhythm kept, no mines
}

TEST_F(Hostiles, TanksBounceTurnAndPay) {
    World& world = CurrentWorld();
    auto t = New<tank>();
    t->x = 679, t->y = 300, t->dx = 1, t->dy = 0;
    for (int i = 0; i < 100 && t->dx > 0; ++i) {
        t->x = 679, t->dx = 1;
        UpdateTanks(); // a random turn can swap the axes; try until a plain step
    }
    EXPECT_EQ(t->dx, -1);
    EXPECT_EQ(t->x, 679);
    t->caught = 1;
    world.trail.looping = 0;
    world.loop.g_numkilled = 1;
    UpdateTanks();
    EXPECT_EQ(world.game.score, 100);
    EXPECT_EQ(world.tank_list.Count(), 0);
}

TEST_F(Hostiles, MinesShrinkAndAreDangerousOnlyWhileBig) {
    World& world = CurrentWorld();
    world.game.level = 14;
    SetLevelDifficulty();
    ASSERT_EQ(world.difficulty.minedur, 107);
    CreateMine(300, 300);
    UpdateMines();
    auto m = world.mine_list.First();
    EXPECT_EQ(m->life, 106);
    Cls();
    RenderMines();
    EXPECT_EQ(BackBuffer()[293 * 800 + 300], 0x00ff00u); // radius 7
    int updates = 1;
    while (!world.mine_list.Empty()) UpdateMines(), updates++;
    EXPECT_EQ(updates, 98);
    // Harmless and uncatchable at life 15.
    CreateMine(400, 300);
    world.mine_list.First()->life = 15;
    UpdatePlayer();
    EXPECT_EQ(world.point.dead, 0);
    world.mine_list.First()->life = 16;
    UpdatePlayer();
    EXPECT_EQ(world.point.dead, 1);
    world.mine_list.First()->caught = 1;
    world.loop.g_numkilled = 2;
    UpdateMines();
    EXPECT_EQ(world.game.score, 600);
}

TEST_F(Hostiles, StarsSplitOnTheSharedCountdownUpToNineteen) {
    World& world = CurrentWorld();
    world.game.level = 6;
    SetLevelDifficulty();
    world.field.startimer = world.difficulty.starsplitwait;
    world.field.nucsalive = 1;
    CreateStars(300, 300);
    std::vector<int> counts;
    std::vector<std::pair<int, std::string>> sounds;
    for (int f = 1; f <= 4 * 369; ++f) {
        const int before = world.star_list.Count();
        UpdateStars();
        RenderStars();
        for (const auto& s : Sounds()) sounds.emplace_back(world.field.startimer, s);
        if (world.star_list.Count() != before) counts.push_back(world.star_list.Count());
        for (auto& s : world.star_list) s.x = 300, s.y = 300; // keep them in the field
    }
    EXPECT_EQ(counts, (std::vector<int>{3, 9, 19}));
    EXPECT_EQ(world.field.starsalive, 19);
    // Warnings at 54, 38 and 22 (once per drawing), the split at 0 (once per splitting star).
    const std::vector<std::pair<int, std::string>> firstCycle(sounds.begin(), sounds.begin() + 4);
    EXPECT_EQ(firstCycle, (std::vector<std::pair<int, std::string>>{
                              {54, "split1"}, {38, "split2"}, {22, "split3"}, {0, "split4"}}));
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

TEST_F(Hostiles, PulsarsReAimUnlessClose) {
    World& world = CurrentWorld();
    world.game.level = 8;
    SetLevelDifficulty();
    auto p = New<pulsar>();
    world.point.x = 300, world.point.y = 300;
    int reaimed = 0;
    for (int f = 0; f < 200; ++f) {
        p->x = 311, p->y = 305, p->dx = 1, p->dy = 1, p->pulse = 1, p->dir = 1;
        UpdatePulsars();
        if (p->dx < 0) {
            reaimed++;
            EXPECT_GE(p->dx, -world.difficulty.pulsarspeed);
            EXPECT_LE(p->dx, -0.5f);
        }
        EXPECT_EQ(p->dy, 1); // 6 pixels off on y: kept
    }
    EXPECT_GT(reaimed, 60);
    EXPECT_LT(reaimed, 140);
    // A caught pulsar first in the list, with no stars drawn, is a green cross.
    p->caught = 1;
    world.field.starsalive = 0;
    Cls();
    RenderEnemies();
    EXPECT_EQ(BackBuffer()[305 * 800 + int(p->x)], 0x00ff00u);
    world.trail.looping = 0;
    world.loop.g_numkilled = 0;
    UpdatePulsars();
    EXPECT_EQ(world.game.score, 300);
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
