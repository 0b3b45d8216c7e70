#include "screens/death.h"

#include <algorithm>

#include "atom/bond.h"
#include "atom/enemies.h"
#include "atom/nucleus.h"
#include "engine/graphics.h"
#include "engine/input.h"
#include "hostiles/frag.h"
#include "hostiles/kinds.h"
#include "player/player.h"
#include "player/trail.h"
#include "screens/hud.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/game.h"
#include "state/loop.h"
#include "state/point.h"
#include "state/points.h"
#include "state/sounds.h"
#include "state/trail.h"
#include "state/world.h"

void KillPlayer() {
    game.current_screen = "death";
    PlaySound(sfx.snd_death);
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
    while (field.fragsalive > 0) {
        Cls();
        UpdateFrags();
        RenderEnemies();
        RenderFrags();
        RenderScore();
        RenderMenLeft();
        Flip(-1);
        Delay(5);
    }
    if (field.chn_bond) {
        StopChannel(field.chn_bond);
        field.chn_bond = nullptr;
    }
    Delay(1000);
    if (--game.men <= 0) game.gameover = kGameIsOver;
    point.dead = 0;
    ClearSegs();
    pnts_list.Clear();
    for (auto& bd : bond_list)
        if (bd.nuc1->active == kSlotFree || bd.nuc2->active == kSlotFree) bd.Remove();
    field.ResetBonds();
    point.nucskilled = 0;
    difficulty.phcreatewait = std::max(200 - 6 * game.level, 50);
    loop.numstarskilled = 0;
    field.ResetStars(difficulty.starsplitwait);
    if (game.gameover == kGameGoesOn) {
        ClearHostiles();
        for (int rank = 1; rank <= int(HostileKinds().size()); ++rank)
            for (const HostileKind& kind : HostileKinds())
                if (kind.spawn && kind.respawnRank == rank)
                    for (int i = 0; i < difficulty.*kind.perLevel; ++i) kind.spawn();
        for (auto& n : nuc_list)
            if (n.active != kSlotFree) ScatterNucleus(n);
    }
    point.pw = 4;
    point.pwtimer = 0;
    trail.xold = point.x = 400;
    trail.yold = point.y = 300;
    MoveMouse(400, 300);
    FlushMouse();
}
