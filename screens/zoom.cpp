#include "screens/zoom.h"

#include "atom/enemies.h"
#include "engine/graphics.h"
#include "engine/input.h"
#include "screens/font.h"
#include "screens/hud.h"
#include "state/game.h"
#include "state/point.h"
#include "state/sounds.h"
#include "state/trail.h"
#include "state/world.h"

namespace {

void DrawGameOverText(float s) {
    static const char text[] = "GAME OVER";
    const int x0 = int((800 - 54 * s) / 2);
    for (int i = 0; i < 9; ++i)
        DrawDigit(text[i], int(float(x0) + float(6 * i) * s), int((600 - 6 * s) / 2), s, 0);
}

} // namespace

void ZoomIn() {
    World& world = CurrentWorld();
    world.game.current_screen = "zoom";
    PlaySound(world.sfx.snd_zoom);
    for (int d = 400; d >= 0; d -= 8) {
        const int h = d / 2;
        RenderScore();
        RenderMenLeft();
        RenderEnemies();
        SetColor(255, 0, 255);
        DrawLine(400 + h, 300 + h, 400 + d, 300 + d);
        DrawLine(400 - h, 300 + h, 400 - d, 300 + d);
        DrawLine(400 - h, 300 - h, 400 - d, 300 - d);
        DrawLine(400 + h, 300 - h, 400 + d, 300 - d);
        SetColor(0, 255, 0);
        DrawLine(400 + h, 300, 400 + d, 300);
        DrawLine(400 - h, 300, 400 - d, 300);
        DrawLine(400, 300 - h, 400, 300 - d);
        DrawLine(400, 300 + h, 400, 300 + d);
        Flip(-1);
        Cls();
        Delay(2);
    }
    world.trail.xold = 400;
    world.trail.yold = 300;
    world.point.x = 400;
    world.point.y = 300;
    MoveMouse(400, 300);
    FlushKeys();
}

void RenderGameOver() {
    CurrentWorld().game.current_screen = "gameover";
    for (int t = 0; t <= 399; t += 7) {
        Cls();
        RenderScore();
        SetColor(0, t / 2 + 55, 0);
        DrawGameOverText(float(t) / 30);
        RenderEnemies();
        Flip(-1);
        Delay(20);
    }
    Delay(500);
    for (int t = 400; t >= 0; t -= 10) {
        Cls();
        RenderScore();
        SetColor(0, t / 2 + 55, 0);
        DrawGameOverText(float(t) / 30);
        Flip(-1);
        Delay(20);
    }
    Delay(1500);
}
