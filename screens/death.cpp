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
    World& world = CurrentWorld();
    world.game.current_screen = "death";
    PlaySound(world.sfx.snd_death);
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
    while (world.field.fragsalive > 0) {
        Cls();
        UpdateFrags();
        RenderEnemies();
        RenderFrags();
        RenderScore();
        RenderMenLeft();
        Flip(-1);
        Delay(5);
    }
    if (world.field.chn_bond) {
        StopChannel(world.field.chn_bond);
        world.field.chn_bond = nullptr;
    }
    Delay(1000);
    if (--world.game.men <= 0) world.game.gameover = kGameIsOver;
    world.point.dead = 0;
    ClearSegs();
    world.pnts_list.Clear();
    for (auto& bd : world.bond_list)
        if (bd.nuc1->active == kSlotFree || bd.nuc2->active == kSlotFree) bd.Remove();
    world.field.ResetBonds();
    world.point.nucskilled = 0;
    world.field.phcreatewait = world.difficulty.phcreatewait;
    world.loop.numstarskilled = 0;
    world.field.ResetStars(world.difficulty.starsplitwait);
    if (world.game.gameover == kGameGoesOn) {
        ClearHostiles();
        for (int rank = 1; rank <= int(HostileKinds().size()); ++rank)
            for (const HostileKind& kind : HostileKinds())
                if (kind.spawn && kind.respawnRank == rank)
                    for (int i = 0; i < world.difficulty.*kind.perLevel; ++i) kind.spawn();
        for (auto& n : world.nuc_list)
            if (n.active != kSlotFree) ScatterNucleus(n);
    }
    world.point.pw = 4;
    world.point.pwtimer = 0;
    world.trail.xold = world.point.x = 400;
    world.trail.yold = world.point.y = 300;
    MoveMouse(400, 300);
    FlushMouse();
}
