#include "screens/picklevel.h"

#include <algorithm>
#include <cstdlib>

#include "engine/graphics.h"
#include "engine/input.h"
#include "engine/text.h"
#include "player/capture.h"
#include "player/player.h"
#include "player/trail.h"
#include "screens/font.h"
#include "state/game.h"
#include "state/loop.h"
#include "state/point.h"
#include "state/sounds.h"
#include "state/trail.h"
#include "state/world.h"

void PickLevel() {
    World& world = CurrentWorld();
    world.game.current_screen = "picklevel";
    int o = 0;
    int t = 360;
    world.game.level = 0;
    world.loop.levelselected = -9999;
    BeginChoosing(24, kLevelLoop);
    bool done = false;
    while (t > 0 && !KeyDown(kKeyEscape) && !done) {
        Cls();
        SetColor(0, 0, 255);
        DrawString("KORAVEL", 160, 50, 15, 1);
        SetColor(255, 255, 255);
        DrawString("CIRCLE STARTING LEVEL", 300, 220, -1, 1);
        DrawString("LEFT OR RIGHT TO CHANGE SELECTION", 240, 240, -1, 1);
        DrawString("TIME", 380, 270, -1, 1);
        DrawString(Str(t / 30 + 1), 390, 290, -1, 1);
        for (int i = 0; i < 5; ++i) {
            const int n = 2 * i + 1 + o;
            SetColor(255, 255, 255);
            DrawString(Str(n), 190 + 100 * i, 400, 2.5f, 0);
            DrawString("BONUS", 175 + 100 * i, 440, -1, 0);
            DrawString(n < 2 ? "0" : Str(StartBonus(n)), 175 + 100 * i, 420, -1, 0);
        }
        PointFollowsMouse();
        LaySegmentIfMoved();
        if (t % 3 == 0) {
            if (world.point.x > 640 && world.point.y > 200 && world.point.y < 600 &&
                o < world.game.highestlevel - 10)
                o += 2;
            if (world.point.x < 160 && world.point.y > 200 && world.point.y < 600 && o > 1) o -= 2;
        }
        UpdateSegs();
        RenderSegs();
        RenderPlayer();
        Flip(-1);
        Delay(30);
        t--;
        if (world.loop.levelselected >= 0 && world.trail.looping == 0) {
            done = true;
            world.game.level = 2 * world.loop.levelselected + o;
            PlaySound(world.sfx.snd_bonus);
        }
    }
    EndChoosing();
    Delay(200);
}
