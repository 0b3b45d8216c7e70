// The point, the trail, closing loops and what they catch, popups, death and fragments.
#include "player/interact.h"
#include "screens/hud.h"
#include "tests/game_fixture.h"

#include "screens/death.h"
#include "state/field.h"
#include "state/game.h"
#include "state/loop.h"
#include "state/point.h"
#include "state/points.h"
#include "state/trail.h"
#include "state/world.h"

namespace {

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

using Trail = GameTest;

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
    World& world = CurrentWorld();
    // A square from (100, 100) to (200, 200), and a triangle with a vertex at y 150.
    const float sq[][2] = {{100, 100}, {200, 100}, {200, 200}, {100, 200}, {100, 100}};
    for (int i = 0; i < 5; ++i)
        world.loop.xpseg[size_t(i)] = sq[i][0], world.loop.ypseg[size_t(i)] = sq[i][1];
    world.loop.numsegsinloop = 4;
    EXPECT_EQ(PointInPoly(150, 150), 1);
    EXPECT_EQ(PointInPoly(100, 150), 1); // on the left edge: the right edge still counts
    EXPECT_EQ(PointInPoly(200, 150), 0); // on the right edge: not counted by it
    EXPECT_EQ(PointInPoly(150, 100), 1); // top edge: horizontal edges never count
    EXPECT_EQ(PointInPoly(150, 200), 0); // bottom: each edge excludes its larger y
    EXPECT_EQ(PointInPoly(250, 150), 0);
    const float tri[][2] = {{100, 100}, {200, 150}, {100, 200}, {100, 100}};
    for (int i = 0; i < 4; ++i)
        world.loop.xpseg[size_t(i)] = tri[i][0], world.loop.ypseg[size_t(i)] = tri[i][1];
    world.loop.numsegsinloop = 3;
    EXPECT_EQ(PointInPoly(50, 150), 0); // through the vertex where the outline turns back
    EXPECT_EQ(PointInPoly(150, 150), 1);
}

TEST_F(Loop, KillEmMarksWhatIsInsideAndCountsIt) {
    World& world = CurrentWorld();
    // A square loop from (100, 100) to (300, 300).
    const float sq[][2] = {{100, 100}, {300, 100}, {300, 300}, {100, 300}, {100, 100}};
    for (int i = 0; i < 5; ++i)
        world.loop.xpseg[size_t(i)] = sq[i][0], world.loop.ypseg[size_t(i)] = sq[i][1];
    world.loop.numsegsinloop = 4;
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
    const float tri[][2] = {{100, 100}, {300, 100}, {100, 300}, {100, 100}};
    for (int i = 0; i < 4; ++i)
        world.loop.xpseg[size_t(i)] = tri[i][0], world.loop.ypseg[size_t(i)] = tri[i][1];
    world.loop.numsegsinloop = 3;
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

TEST_F(Loop, ThePointTouchingALiveBondIsSnappedOntoItBeforeTheBurst) {
    World& world = CurrentWorld();
    world.field.bondact = kBondsDeadly;
    Nucleus(0, 300, 290, kNucBonding);
    Nucleus(1, 500, 310, kNucBonding);
    CreateBonds(world.field.nucs[0], world.field.nucs[1]);
    world.point.x = 402, world.point.y = 301;
    UpdatePlayer();
    EXPECT_EQ(world.point.dead, 1);
    EXPECT_EQ(world.point.y, 300);
    EXPECT_EQ(world.Frag_list.First()->y, 300.0f); // the burst starts on the bond
}

using Popups = GameTest;

TEST_F(Popups, AwardsLifetimesAndExtraLives) {
    World& world = CurrentWorld();
    CreatePoints(100, 100, -200);
    EXPECT_EQ(world.game.score, 200);
    CreatePoints(100, 100, 0); // an award of 0 still shows its popup
    EXPECT_EQ(world.pnts_list.Count(), 2);
    world.game.score = 19900;
    CreatePoints(0, 0, 100);
    EXPECT_EQ(world.game.numfreemen, 2);
    EXPECT_EQ(world.game.men, 4);
    EXPECT_EQ(Sounds(), std::vector<std::string>{"bonus"});
    CreatePoints(0, 0, 100000); // one life per award, however far it goes
    EXPECT_EQ(world.game.men, 5);
    world.game.score = 2147483000;
    CreatePoints(0, 0, 5000);
    EXPECT_EQ(world.game.score, 2147483647); // held, never wrapped negative
}

using Death = GameTest;

TEST_F(Death, FragmentsFadeAndLeaveTheScreen) {
    World& world = CurrentWorld();
    world.point.x = 400, world.point.y = 300;
    CreateFrags();
    ASSERT_EQ(world.Frag_list.Count(), 64);
    for (auto& f : world.Frag_list) {
        EXPECT_TRUE(f.r + f.g + f.b == 255 || f.r + f.g + f.b == 510);
        EXPECT_FALSE(f.r == 255 && f.g == 255 && f.b == 255);
    }
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

} // namespace
