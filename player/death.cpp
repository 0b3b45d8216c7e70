#include "player/death.h"

#include <algorithm>

#include "atom/bond.h"
#include "atom/enemies.h"
#include "atom/level.h"
#include "atom/nucleus.h"
#include "engine/graphics.h"
#include "engine/input.h"
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
#include "screens/hud.h"
#include "shell/game.h"
#include "shell/sounds.h"

void KillPlayer() {
    current_screen = "death";
    PlaySound(snd_death);
    Cls();
    RenderPlayer();
    RenderSegs();
    RenderEnemies();
    RenderFrags();
    RenderScore();
    RenderMenLeft();
    Flip(-1);
    Delay(500);
    // The explosion plays over the frozen field.
    while (fragsalive > 0) {
        Cls();
        UpdateFrags();
        RenderEnemies();
        RenderFrags();
        RenderScore();
        RenderMenLeft();
        Flip(-1);
        Delay(5);
    }
    if (chn_bond) {
        StopChannel(chn_bond);
        chn_bond = nullptr;
    }
    Delay(1000);
    if (--men <= 0) gameover = 1;
    dead = 0;
    ClearSegs();
    pnts_list.Clear();
    for (auto& bd : bond_list)
        if (bd.nuc1->active == 0 || bd.nuc2->active == 0) bd.Remove();
    bcount = 0;
    bondact = 2;
    nucskilled = 0;
    phcreatewait = std::max(200 - 6 * level, 50);
    numstarskilled = 0;
    starsalive = 0;
    startimer = starsplitwait;
    if (gameover == 0) {
        phot_list.Clear();
        mine_list.Clear();
        star_list.Clear();
        tank_list.Clear();
        pulsar_list.Clear();
        for (int i = 0; i < starsperlevel; ++i) CreateStars(-1, -1);
        for (int i = 0; i < tanksperlevel; ++i) CreateTanks();
        for (int i = 0; i < pulsarsperlevel; ++i) CreatePulsars();
        for (auto& n : nuc_list)
            if (n.active > 0) ScatterNucleus(n);
    }
    pw = 4;
    pwtimer = 0;
    xold = x = 400;
    yold = y = 300;
    MoveMouse(400, 300);
    FlushMouse();
}
