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
    EXPECT_EQ(world.phot_list.Count(), 0);
    EXPECT_EQ(world.game.score, 0);
    ASSERT_TRUE(world.art.spheres);

    // Frame 65 of the red cache is a red "A" on black, lit at its apex (4, 0).
    const auto& a = world.font.vecfontr->frames[65];
    EXPECT_EQ(a[4] & 0xffffff, 0xff0000u);
    for (uint32_t p : a) EXPECT_TRUE((p & 0xffffff) == 0 || (p & 0xffffff) == 0xff0000);

    // The four capture sounds share one sample; the bond hum loops.
    ASSERT_TRUE(world.sfx.snd_killtank && world.sfx.snd_killstar);
    EXPECT_EQ(world.sfx.snd_killtank->wave, world.sfx.snd_killmine->wave); // one file, decoded once
    EXPECT_NE(world.sfx.snd_killtank, world.sfx.snd_killpuls);
    EXPECT_TRUE(world.sfx.snd_bond1->loop && world.sfx.snd_bond2->loop);
    EXPECT_FALSE(world.sfx.snd_loop->loop);
}

} // namespace
