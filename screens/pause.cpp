#include "screens/pause.h"

#include <string>

#include "engine/graphics.h"
#include "engine/input.h"
#include "engine/sound.h"
#include "screens/font.h"
#include "screens/hud.h"
#include "state/game.h"
#include "state/point.h"
#include "state/world.h"

namespace {

void DrawCentred(const std::string& text, float scale, int y, int colour) {
    const int x0 = int((800 - float(text.size() * 6) * scale) / 2);
    for (size_t i = 0; i < text.size(); ++i)
        DrawDigit(static_cast<unsigned char>(text[i]), int(float(x0) + float(i * 6) * scale), y,
                  scale, colour);
}

} // namespace

void PauseGame() {
    World& world = CurrentWorld();
    const char* const was = world.game.current_screen;
    world.game.current_screen = "paused";
    PauseSounds(true);
    // One picture a frame, each frame's input read once: the pause is recorded like any play.
    while (!KeyDown(kKeyEscape) && !TakeKeyHit(kKeyPause)) {
        Cls();
        SetColor(0, 0, 255);
        RenderScore();
        RenderMenLeft();
        SetColor(0, 255, 0);
        DrawCentred("PAUSED", 8, 250, 1);
        SetColor(255, 255, 255);
        DrawCentred("P GOES ON   ESC LEAVES   M SOUND   - + VOLUME", 1.5f, 360, 3);
        DrawCentred("ARROWS OR W A S D STEER   SPACE CLICKS   C CALM SCREEN", 1.5f, 390, 3);
        Flip(0);
        Delay(30);
    }
    PauseSounds(false);
    // The mouse moved meanwhile does not throw the point across the field.
    MoveMouse(world.point.x, world.point.y);
    world.game.current_screen = was;
}
