// A clean game state for tests that call the game's routines directly, without start-up's
// display and files.
#pragma once
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "atom/bond.h"
#include "atom/electron.h"
#include "atom/level.h"
#include "atom/nucleus.h"
#include "engine/graphics.h"
#include "engine/input.h"
#include "engine/rnd.h"
#include "engine/sound.h"
#include "hostiles/frag.h"
#include "hostiles/mine.h"
#include "hostiles/photon.h"
#include "hostiles/pulsar.h"
#include "hostiles/star.h"
#include "hostiles/tank.h"
#include "player/capture.h"
#include "player/player.h"
#include "player/trail.h"
#include "screens/font.h"
#include "shell/startup.h"
#include "state/art.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/game.h"
#include "state/loop.h"
#include "state/point.h"
#include "state/points.h"
#include "state/sounds.h"
#include "state/trail.h"
#include "state/world.h"

class GameTest : public ::testing::Test {
  protected:
    void SetUp() override { NewTestGame(); }

    // A new world as start-up makes it, with named stand-ins for the sounds (so the sounds a
    // routine starts can be checked), on level 1 of a game.
    static void NewTestGame() {
        World& world = CurrentWorld();
        NewGameWorld();
        ResetInput();
        for (auto [handle, path] : std::vector<std::pair<Sound*, const char*>>{
                 {&world.sfx.snd_bounce, "bounce"},     {&world.sfx.snd_photon, "photon"},
                 {&world.sfx.snd_killphoton, "killph"}, {&world.sfx.snd_killnuc, "killnuc"},
                 {&world.sfx.snd_killnuc2, "killnuc2"}, {&world.sfx.snd_killtank, "killtank"},
                 {&world.sfx.snd_killpuls, "killpuls"}, {&world.sfx.snd_killstar, "killstar"},
                 {&world.sfx.snd_killmine, "killmine"}, {&world.sfx.snd_killtail, "killtail"},
                 {&world.sfx.snd_bonus, "bonus"},       {&world.sfx.snd_death, "death"},
                 {&world.sfx.snd_zoom, "zoom"},         {&world.sfx.snd_bond1, "bond1"},
                 {&world.sfx.snd_bond2, "bond2"},       {&world.sfx.snd_split1, "split1"},
                 {&world.sfx.snd_split2, "split2"},     {&world.sfx.snd_split3, "split3"},
                 {&world.sfx.snd_split4, "split4"},     {&world.sfx.snd_mine, "mine"},
                 {&world.sfx.snd_pulsar, "pulsar"},     {&world.sfx.snd_loop, "loop"}}) {
            *handle = std::make_shared<TSound>();
            (*handle)->path = path;
        }
        for (int i = 0; i < 8; ++i) world.field.nucs[size_t(i)]->slot = i;
        world.game.men = 3, world.game.numfreemen = 1, world.game.level = 1;
        world.trail.segdur = 25;
        SeedRnd(1);
        TrackStartedSounds(true);
        TakeStartedSounds();
    }

    // Lays a segment from the point's current place to (nx, ny), as the frame loop does.
    static void LayTo(int nx, int ny) {
        World& world = CurrentWorld();
        world.point.x = nx, world.point.y = ny;
        LaySegmentIfMoved();
    }

    static nuc& Nucleus(int slot, float nx, float ny, NucActive active = kNucAlive) {
        nuc& n = *CurrentWorld().field.nucs[size_t(slot)];
        n.x = nx, n.y = ny, n.active = active, n.caught = 0, n.elecs = 0, n.slot = slot;
        return n;
    }

    // A closed loop through the corners, the first given again last.
    static void SetLoop(const std::vector<std::pair<float, float>>& corners) {
        World& world = CurrentWorld();
        for (size_t i = 0; i < corners.size(); ++i)
            world.loop.xpseg[i] = corners[i].first, world.loop.ypseg[i] = corners[i].second;
        world.loop.numsegsinloop = int(corners.size()) - 1;
    }

    static std::vector<std::string> Sounds() { return TakeStartedSounds(); }
};
