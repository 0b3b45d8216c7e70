#include "player/points.h"

#include <cstdlib>

#include "engine/graphics.h"
#include "engine/mathx.h"
#include "engine/text.h"
#include "screens/font.h"
#include "shell/game.h"
#include "shell/sounds.h"

void CreatePoints(int px, int py, int v) {
    auto p = New<pnts>();
    p->x = px;
    p->y = py;
    p->value = std::abs(v);
    if (v < 0) {
        p->timer = 12;
        v = -v;
    } else {
        p->timer = 25;
    }
    AddScore(v);
    if (int64_t(score) >= int64_t(numfreemen) * 20000) {
        PlaySound(snd_bonus);
        numfreemen++;
        men++;
    }
}

void RenderPoints() {
    static const int colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    for (auto it = pnts_list.begin(); it != pnts_list.end(); ++it) {
        pnts& p = *it;
        const int c = (p.timer / 2) & 3;
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
