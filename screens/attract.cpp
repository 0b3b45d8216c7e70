#include "screens/attract.h"

#include <algorithm>

#include "engine/graphics.h"
#include "engine/input.h"
#include "player/player.h"
#include "screens/font.h"
#include "screens/hud.h"
#include "state/art.h"
#include "state/comfort.h"
#include "state/game.h"
#include "state/point.h"
#include "state/trail.h"
#include "state/world.h"

namespace {

bool LeaveScreen(bool watchPlaygame) {
    return MouseDown(1) || KeyDown(kKeyEscape) ||
           (watchPlaygame && CurrentWorld().game.playgame != kNoGame);
}

int Px(int i) { return CurrentWorld().art.demoposx[size_t(i)] + 40; }
int Py(int i) { return CurrentWorld().art.demoposy[size_t(i)] + 40; }

} // namespace

void ShowTitle() {
    World& world = CurrentWorld();
    world.game.current_screen = "title";
    const int L = 7;
    world.trail.counter = 0;
    for (int frame = 0; frame < 300 && !LeaveScreen(true); ++frame) {
        Cls();
        SetColor(0, 0, std::min(world.trail.counter / 3 + 128, 255));
        const float s = std::min(float(world.trail.counter) / 10, 18.0f);
        const int tx = int((800 - (L - 1) * s * 6) / 2);
        const int ty = int((600 - 18 * s) / 2 - 50);
        DrawString("KORAVEL", tx, ty, s, 0);
        if (s > 10) {
            const float c = (s - 10) / 2;
            DrawString("BY LORVEN TASKA - 2001", int(460 - 72 * (s - 10) / 2), 400, c, 2);
            DrawString("PORTED TO MORDAVEX IN 2006", int(420 - 72 * (s - 10) / 2), 450, c, 2);
        }
        if (s == 18) {
            world.point.x = int(float(tx + (L - 1) * 6 * 18) -
                                (float(world.trail.counter) / 10 - 18) * 50 - 40);
            DrawLine(tx + (L - 1) * 108 - 40, world.point.y, world.point.x, world.point.y);
            world.point.y = int(float(ty) + 10 * s);
            world.point.pw = int(1 + s / 2);
            RenderPlayer();
        }
        Flip(-1);
        Delay(10);
        world.trail.counter++;
    }
}

void ShowScores() {
    World& world = CurrentWorld();
    world.game.current_screen = "scores";
    world.trail.counter = 0;
    for (int frame = 0; frame < 250 && !LeaveScreen(false); ++frame) {
        Cls();
        RenderScores(-1, 100);
        DrawString("PRESS LEFT MOUSE BUTTON TO START", 232, 450, -1,
                   comfort.calm ? 3 : (world.trail.counter / 10) % 4);
        Flip(-1);
        Delay(15);
        world.trail.counter++;
    }
}

void ShowInstructions() {
    World& world = CurrentWorld();
    world.game.current_screen = "instructions";
    struct Line {
        int from;
        const char* text;
        int x, y, colour;
    };
    static const Line lines[] = {
        {-1, "CAPTURE ATOMIC PARTICLES", 256, 40, 1},
        {200, "NUCLEUS -", 460, 110, 3},
        {200, "300 POINTS", 480, 130, 3},
        {240, "ELECTRONS -", 460, 160, 3},
        {240, "20 POINTS", 480, 180, 3},
        {290, "AVOID DEADLY PARTICLES", 268, 450, 1},
        {360, "OR CAPTURE THEM FOR EXTRA POINTS", 208, 480, 1},
    };
    world.trail.counter = 0;
    world.point.x = Px(0);
    world.point.y = Py(0);
    for (int frame = 0; frame < 400 && !LeaveScreen(true); ++frame) {
        Cls();
        SetColor(255, 255, 0);
        for (const Line& l : lines)
            if (world.trail.counter > l.from) DrawString(l.text, l.x, l.y, -1, l.colour);
        DrawImage(world.art.spheres, 290, 110, 0);
        SetColor(255, 0, 0);
        DrawRect(280, 120 - world.trail.counter / 5, 2, 2);
        DrawRect(230 + world.trail.counter / 6, 95, 2, 2);
        if ((world.trail.counter / 10) % 2 == 0 || comfort.calm)
            SetColor(0, 255, 0);
        else
            SetColor(255, 0, 255);
        const int n = std::min(world.trail.counter / 10, 29);
        for (int i = 1; i <= n; ++i) {
            world.point.x = Px(i);
            world.point.y = Py(i);
            DrawLine(Px(i - 1), Py(i - 1), Px(i), Py(i));
        }
        world.point.pw = 6;
        RenderPlayer();
        Flip(-1);
        Delay(10);
        world.trail.counter++;
    }
}
