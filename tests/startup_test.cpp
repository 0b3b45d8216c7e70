// What start-up builds, the stroke font and its caches, and the score file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "atom/nucleus.h"
#include "engine/graphics.h"
#include "hostiles/photon.h"
#include "screens/font.h"
#include "screens/hiscore.h"
#include "shell/startup.h"
#include "state/art.h"
#include "state/field.h"
#include "state/game.h"
#include "state/sounds.h"
#include "state/world.h"
#include "tests/temp_dir.h"

namespace {

TEST(Startup, BuildsListsTablesFontCachesAndResources) {
    World& world = CurrentWorld();
    run.seed_override = 1;
    ASSERT_TRUE(Startup()); // run from the build folder, where gfx/ and sound/ are
    world.game.score = 500;
    New<phot>();
    // Start-up again builds the same world anew, not a second one on top of the first.
    ASSERT_TRUE(Startup());
    EXPECT_EQ(world.nuc_list.Count(), 8);
    EXPECT_EQ(world.col_list.Count(), 7);
    EXPECT_EQ(world.digit_list.Count(), 207);
    EXPECT_EQ(world.phot_list.Count(), 0);
    EXPECT_EQ(world.game.score, 0);
    EXPECT_EQ(world.art.cols[6]->r + world.art.cols[6]->g + world.art.cols[6]->b, 765);
    EXPECT_EQ(world.art.cols[7], nullptr);
    EXPECT_EQ(world.field.nucs[8], nullptr);
    for (int c = 0; c < 100; ++c)
        EXPECT_EQ(world.font.letterlen[size_t(c)] < 0, c < 32 || c > 95) << c;
    EXPECT_EQ(world.font.letterlen[32], 0);
    EXPECT_EQ(world.art.demoposx[0] + 40, 490);
    EXPECT_EQ(world.art.demoposy[1] + 40, 360);
    ASSERT_TRUE(world.art.spheres);

    // Frame 65 of the white cache is a white "A" on black; frame 32 of every cache is black.
    const auto& a = world.font.vecfontw->frames[65];
    int white = 0, other = 0;
    for (uint32_t p : a) (p & 0xffffff) == 0xffffff ? ++white : (p & 0xffffff) ? ++other : 0;
    EXPECT_GT(white, 20);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(a[4] & 0xffffff, 0xffffffu); // the apex of the A at (4, 0)
    for (const Image* cache :
         {&world.font.vecfontr, &world.font.vecfontg, &world.font.vecfontb, &world.font.vecfontw})
        for (uint32_t p : (*cache)->frames[32]) EXPECT_EQ(p & 0xffffff, 0u);
    for (uint32_t p : world.font.vecfontr->frames[65])
        EXPECT_TRUE((p & 0xffffff) == 0 || (p & 0xffffff) == 0xff0000);

    // The four capture sounds share one sample; the bond hum loops.
    ASSERT_TRUE(world.sfx.snd_killtank && world.sfx.snd_killstar);
    EXPECT_EQ(world.sfx.snd_killtank->wave, world.sfx.snd_killmine->wave); // one file, decoded once
    EXPECT_NE(world.sfx.snd_killtank, world.sfx.snd_killpuls);
    EXPECT_TRUE(world.sfx.snd_bond1->loop && world.sfx.snd_bond2->loop);
    EXPECT_FALSE(world.sfx.snd_loop->loop);
}

} // namespace
