#include "bench/scenes.h"

#include <cmath>
#include <filesystem>

#include "atom/bond.h"
#include "atom/electron.h"
#include "atom/enemies.h"
#include "atom/level.h"
#include "atom/nucleus.h"
#include "engine/graphics.h"
#include "hostiles/frag.h"
#include "hostiles/pulsar.h"
#include "hostiles/star.h"
#include "player/player.h"
#include "player/trail.h"
#include "screens/font.h"
#include "screens/hud.h"
#include "shell/startup.h"
#include "state/field.h"
#include "state/game.h"
#include "state/point.h"
#include "state/points.h"
#include "state/trail.h"
#include "state/world.h"

void BenchStartup() {
    std::filesystem::current_path(KORAVEL_BUILD_DIR);
    run.seed_override = 1;
    Startup();
}

void SceneLevel1() {
    World& world = CurrentWorld();
    world.game.level = 0;
    world.game.men = 3;
    SetUpLevel();
    world.point.x = 400, world.point.y = 300;
}

void SceneWorst() {
    World& world = CurrentWorld();
    world.game.level = 59;
    world.game.men = 5;
    SetUpLevel(); // 8 nuclei, 4 pulsars at level 60
    world.elec_list.Clear();
    for (int s = 0; s < 8; ++s) {
        for (int k = 1; k <= 5; ++k) {
            auto e = New<elec>();
            e->parent = world.field.nucs[size_t(s)];
            e->rad = 20 * k + 15;
            e->dx = 0.2f, e->dy = 1.0f;
            e->cnum = world.field.nucs[size_t(s)]->cnum;
        }
    }
    for (int s = 0; s < 7; ++s) {
        world.field.bnds[size_t(s)][size_t(s + 1)] = 1;
        CreateBonds(world.field.nucs[size_t(s)], world.field.nucs[size_t(s + 1)]);
    }
    while (world.field.starsalive < 19) CreateStars(-1, -1);
    while (world.pulsar_list.Count() < 4) CreatePulsars();
    // A trail of 31 segments on a wide spiral near the edge, clear of the nuclei.
    world.trail.segdur = 30;
    world.point.x = world.trail.xold = 70, world.point.y = world.trail.yold = 40;
    for (int i = 1; i <= 31; ++i) {
        const double a = i * 0.19;
        world.point.x = int(400 - 330 * std::cos(a)), world.point.y = int(300 - 260 * std::sin(a));
        LaySegmentIfMoved();
    }
    world.point.x = 60, world.point.y = 560;
    for (int i = 0; i < 2; ++i) CreateFrags(); // 112 fragments
    for (int i = 0; i < 6; ++i) CreatePoints(300 + 40 * i, 300, 300);
}

void PlayWork(bool fragments) {
    World& world = CurrentWorld();
    Cls();
    UpdateEnemies();
    for (auto& s : world.seg_list) s.life = std::max(s.life, 2); // keep the trail for every round
    UpdateSegs();
    UpdatePlayer();
    world.point.dead = 0;
    RenderPlayer();
    RenderSegs();
    RenderEnemies();
    RenderPoints();
    for (auto& p : world.pnts_list) p.timer = std::max(p.timer, 20);
    if (fragments) RenderFrags();
    SetColor(0, 0, 255);
    RenderScore();
    RenderMenLeft();
}

void TitleWork(int frame) {
    World& world = CurrentWorld();
    Cls();
    SetColor(0, 0, std::min(frame / 3 + 128, 255));
    const float s = 18;
    DrawString("KORAVEL", 76, 88, s, 0);
    DrawString("BY LORVEN TASKA - 2001", int(460 - 72 * (s - 10) / 2), 400, (s - 10) / 2, 2);
    DrawString("PORTED TO MORDAVEX IN 2006", int(420 - 72 * (s - 10) / 2), 450, (s - 10) / 2, 2);
    world.point.x = 500, world.point.y = 268, world.point.pw = 10;
    DrawLine(684, 268, world.point.x, world.point.y);
    RenderPlayer();
}
