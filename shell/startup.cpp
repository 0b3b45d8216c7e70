#include "shell/startup.h"

#include <cstdio>
#include <string>

#include "atom/nucleus.h"
#include "engine/graphics.h"
#include "engine/input.h"
#include "engine/rnd.h"
#include "screens/font.h"
#include "screens/hiscore.h"
#include "state/art.h"
#include "state/field.h"
#include "state/point.h"
#include "state/sounds.h"
#include "state/trail.h"
#include "state/world.h"

namespace {

void WarnMissingSounds(const std::vector<std::string>& missing) {
    if (missing.empty()) return;
    std::string list;
    for (const auto& m : missing) list += (list.empty() ? "" : ", ") + m;
    std::fprintf(
        stderr,
        "koravel: warning: %zu sound file%s missing or unreadable (%s); playing without them\n",
        missing.size(), missing.size() == 1 ? "" : "s", list.c_str());
}

} // namespace

void NewGameWorld() {
    World& world = CurrentWorld();
    NewWorld();
    world.trail.xold = world.point.x;
    world.trail.yold = world.point.y;
    for (int i = 0; i < 8; ++i) world.field.nucs[size_t(i)] = New<nuc>();
    for (int i = 0; i < 7; ++i) {
        auto c = New<col>();
        c->r = kColourTable[i][0];
        c->g = kColourTable[i][1];
        c->b = kColourTable[i][2];
        world.art.cols[size_t(i)] = c;
    }
    LoadFont();
    FillGlyphCaches();
    for (int i = 0; i < 30; ++i) {
        world.art.demoposx[size_t(i)] = kDemoPath[i][0];
        world.art.demoposy[size_t(i)] = kDemoPath[i][1];
    }
}

bool Startup() {
    World& world = CurrentWorld();
    // A new world (the run settings and the score files' rules are the caller's, set before).
    NewGameWorld();
    LoadScores();
    if (run.table_override && run.table_override->size() == 10) ReplaceScores(*run.table_override);
    if (!Graphics(800, 600, 32, 60, 0)) {
        std::fprintf(stderr, "koravel: cannot open a display: %s\n", GraphicsError().c_str());
        return false;
    }
    HideMouse();
    world.art.spheres = LoadAnimImage("gfx/spheres.bmp", 13, 13, 0, 7, -1);
    if (!world.art.spheres)
        std::fprintf(stderr,
                     "koravel: warning: gfx/spheres.bmp is missing or not a 91 x 13 bitmap; "
                     "the nuclei will not be drawn\n");
    WarnMissingSounds(LoadSounds());
    run.run_seed = run.seed_override ? *run.seed_override : MilliSecs();
    SeedRnd(run.run_seed);
    return true;
}
