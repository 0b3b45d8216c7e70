#include "player/death.h"

#include "atom/bond.h"
#include "atom/enemies.h"
#include "engine/graphics.h"
#include "engine/input.h"
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
    RenderScore();
    RenderMenLeft();
    Flip(-1);
    Delay(500);
    if (chn_bond) {
        StopChannel(chn_bond);
        chn_bond = nullptr;
    }
    Delay(1000);
    if (--men <= 0) gameover = 1;
    dead = 0;
    ClearSegs();
    pnts_list.Clear();
    bondact = 2;
    nucskilled = 0;
    pw = 4;
    pwtimer = 0;
    xold = x = 400;
    yold = y = 300;
    MoveMouse(400, 300);
    FlushMouse();
}
