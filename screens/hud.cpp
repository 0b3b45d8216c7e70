#include "screens/hud.h"

#include "engine/graphics.h"
#include "engine/mathx.h"
#include "engine/rnd.h"
#include "engine/text.h"
#include "screens/font.h"
#include "state/comfort.h"
#include "state/game.h"
#include "state/points.h"
#include "state/scores.h"
#include "state/world.h"

void RenderScore() {
    World& world = CurrentWorld();
    int hi = world.hiscores.scores[0];
    if (world.game.score > hi) hi = world.game.score;
    DrawString("1 UP", 60, 0, -1, 2);
    DrawString(Str(world.game.score), 60, 20, -1, 3);
    DrawString(Str(hi), 370, 0, -1, 3);
    DrawString("LEVEL " + Str(world.game.level), 580, 550, -1, 2);
}

void RenderMenLeft() {
    for (int i = 1; i <= CurrentWorld().game.men - 1; ++i) {
        const int cx = 120 + 20 * i, cy = 550;
        SetColor(255, 0, 255);
        DrawLine(cx, cy - 4, cx, cy + 5);
        DrawLine(cx - 4, cy, cx + 5, cy);
        SetColor(0, 255, 0);
        DrawLine(cx + 2, cy + 2, cx - 3, cy - 3);
        DrawLine(cx - 2, cy + 2, cx + 3, cy - 3);
    }
}

void RenderScores(int hilite, int top) {
    World& world = CurrentWorld();
    SetColor(255, 255, 255);
    DrawString("TOP SCORES", 340, top + 25, -1, 2);
    DrawString("SCORE", 270, top + 50, -1, 0);
    DrawString("NAME", 370, top + 50, -1, 0);
    DrawString("LEVEL", 460, top + 50, -1, 0);
    for (int i = 0; i < 10; ++i) {
        const int rowY = top + 80 + 20 * i;
        int c = 1;
        if (i ==
            hilite) { // flickers red and blue; calm, steady red (the draw is made all the same)
            const int flicker = int(Rnd(10)) <= 4 ? 2 : 0;
            c = comfort.calm ? 0 : flicker;
        }
        DrawString(Str(world.hiscores.scores[size_t(i)]), 301, rowY, -1, c);
        DrawString(world.hiscores.names[size_t(i)], 370, rowY, -1, c);
        DrawString(Str(world.hiscores.levels[size_t(i)]), 470, rowY, -1, c);
    }
}

void RenderPoints() {
    World& world = CurrentWorld();
    static const int colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    for (auto it = world.pnts_list.begin(); it != world.pnts_list.end(); ++it) {
        pnts& p = *it;
        const int c = comfort.calm ? 3 : (p.timer / 2) & 3;
        SetColor(colours[c][0], colours[c][1], colours[c][2]);
        if (p.timer < 10) {
            DrawString(Str(p.value), p.x - 10, p.y - 5, -1, c);
        } else {
            const int h = (p.timer - 6) / 2;
            const int d = int(h * k07);
            DrawLine(p.x, p.y - h, p.x, p.y + h + 1);
            DrawLine(p.x - h, p.y, p.x + h + 1, p.y);
            DrawLine(p.x - d, p.y - d, p.x + d + 1, p.y + d + 1);
            DrawLine(p.x - d, p.y + d + 1, p.x + d + 1, p.y - d);
        }
        if (--p.timer < 0) p.Remove();
    }
}
