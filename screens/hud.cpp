#include "screens/hud.h"

#include "engine/graphics.h"
#include "engine/rnd.h"
#include "engine/text.h"
#include "screens/font.h"
#include "screens/hiscore.h"
#include "shell/game.h"

void RenderScore() {
    int hi = scores[0];
    if (score > hi) hi = score;
    DrawString("1 UP", 60, 0, -1, 2);
    DrawString(Str(score), 60, 20, -1, 3);
    DrawString(Str(hi), 370, 0, -1, 3);
    DrawString("LEVEL " + Str(level), 580, 550, -1, 2);
}

void RenderMenLeft() {
    for (int i = 1; i <= men - 1; ++i) {
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
    SetColor(255, 255, 255);
    DrawString("TOP SCORES", 340, top + 25, -1, 2);
    DrawString("SCORE", 270, top + 50, -1, 0);
    DrawString("NAME", 370, top + 50, -1, 0);
    DrawString("LEVEL", 460, top + 50, -1, 0);
    for (int i = 0; i < 10; ++i) {
        const int rowY = top + 80 + 20 * i;
        int c = 1;
        if (i == hilite) c = int(Rnd(10)) <= 4 ? 2 : 0; // flickers red and blue
        DrawString(Str(scores[size_t(i)]), 301, rowY, -1, c);
        DrawString(names[size_t(i)], 370, rowY, -1, c);
        DrawString(Str(levels[size_t(i)]), 470, rowY, -1, c);
    }
}
