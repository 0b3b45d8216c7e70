// A clean game state for tests that call the game's routines directly, without start-up's
// display and files.
#pragma once
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
#include "player/points.h"
#include "player/trail.h"
#include "screens/font.h"
#include "shell/game.h"
#include "shell/sounds.h"
#include "shell/tables.h"

class GameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!nucs[0]) {
            LoadFont();
            FillGlyphCaches();
            for (int i = 0; i < 8; ++i) nucs[size_t(i)] = New<nuc>();
            for (int i = 0; i < 7; ++i) {
                auto c = New<col>();
                c->r = kColourTable[i][0], c->g = kColourTable[i][1], c->b = kColourTable[i][2];
                cols[size_t(i)] = c;
            }
            // Named stand-ins, so the sounds a routine starts can be checked.
            for (auto [handle, path] : std::vector<std::pair<Sound*, const char*>>{
                     {&snd_bounce, "bounce"},     {&snd_photon, "photon"},
                     {&snd_killphoton, "killph"}, {&snd_killnuc, "killnuc"},
                     {&snd_killnuc2, "killnuc2"}, {&snd_killtank, "killtank"},
                     {&snd_killpuls, "killpuls"}, {&snd_killstar, "killstar"},
                     {&snd_killmine, "killmine"}, {&snd_killtail, "killtail"},
                     {&snd_bonus, "bonus"},       {&snd_death, "death"},
                     {&snd_zoom, "zoom"},         {&snd_bond1, "bond1"},
                     {&snd_bond2, "bond2"},       {&snd_split1, "split1"},
                     {&snd_split2, "split2"},     {&snd_split3, "split3"},
                     {&snd_split4, "split4"},     {&snd_mine, "mine"},
                     {&snd_pulsar, "pulsar"},     {&snd_loop, "loop"}}) {
                *handle = std::make_shared<TSound>();
                (*handle)->path = path;
            }
        }
        for (int i = 0; i < 8; ++i) {
            nuc& n = *nucs[size_t(i)];
            n.x = n.y = n.dx = n.dy = 0;
            n.r = n.g = n.b = n.cnum = n.caught = n.active = n.elecs = 0;
            n.slot = i;
        }
        ClearSegs();
        segs = 0;
        for (TList* l : std::initializer_list<TList*>{&bond_list, &elec_list, &phot_list,
                                                      &tank_list, &mine_list, &star_list,
                                                      &pulsar_list, &Frag_list, &pnts_list})
            l->Clear();
        for (auto& row : bnds) row.fill(0);
        fragsalive = 0;
        looping = loopmode = 0;
        g_numkilled = numstarskilled = 0;
        bondact = 2;
        bcount = 0;
        chn_bond = nullptr;
        score = 0, men = 3, numfreemen = 1, level = 1, gameover = 0, dead = 0;
        x = xold = 400, y = yold = 300;
        pw = 4, pwtimer = 0, nucskilled = 0, counter = 0;
        segdur = 25;
        SeedRnd(1);
        TrackStartedSounds(true);
        TakeStartedSounds();
    }

    // Lays a segment from the point's current place to (nx, ny), as the frame loop does.
    static void LayTo(int nx, int ny) {
        x = nx, y = ny;
        LaySegmentIfMoved();
    }

    static nuc& Nucleus(int slot, float nx, float ny, int active = 1) {
        nuc& n = *nucs[size_t(slot)];
        n.x = nx, n.y = ny, n.active = active, n.caught = 0, n.elecs = 0, n.slot = slot;
        return n;
    }

    static std::vector<std::string> Sounds() { return TakeStartedSounds(); }
};
