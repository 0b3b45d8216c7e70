#include "shell/mainloop.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "atom/bond.h"
#include "atom/electron.h"
#include "atom/enemies.h"
#include "atom/level.h"
#include "atom/nucleus.h"
#include "engine/graphics.h"
#include "engine/input.h"
#include "engine/mathx.h"
#include "engine/text.h"
#include "entity/keys.h"
#include "player/death.h"
#include "player/player.h"
#include "player/points.h"
#include "player/trail.h"
#include "screens/attract.h"
#include "screens/font.h"
#include "screens/hiscore.h"
#include "screens/hud.h"
#include "screens/picklevel.h"
#include "screens/zoom.h"
#include "shell/game.h"
#include "shell/replay.h"
#include "shell/sounds.h"
#include "shell/startup.h"

void AddScore(int64_t points) {
    score = int(std::clamp<int64_t>(int64_t(score) + points, INT_MIN, INT_MAX));
}

int64_t StartBonus(int64_t startLevel) { return 3040 * startLevel - 3080; }

namespace {

// After each attract screen: a click starts the level choice, otherwise pause between screens.
void AfterAttractScreen() {
    if (MouseHit(1) && playgame == 0) {
        playgame = 1;
        PickLevel();
    } else if (!VKeyDown(1) && playgame == 0) {
        Delay(1500);
    }
}

void StartGame() {
    numfreemen = 1;
    men = nummen;
    score = 0;
    dcount = 0;
    bonus = 0;
    SetUpLevel();
    UpdateEnemies();
    ZoomIn();
    FlushMouse();
    if (level > 1) bonus = StartBonus(level);
}

// The point moves by 0.35 of the mouse's movement; the pointer is put back onto it.
void MouseToPoint() {
    xm = int((MouseX() - x) * k035);
    ym = int((MouseY() - y) * k035);
    x = std::clamp(x + xm, 60, 740);
    y = std::clamp(y + ym, 30, 570);
    MoveMouse(x, y);
}

void DrawCentredLine(const std::string& text, float s, int lineY) {
    const int n = int(text.size());
    const int x0 = int((800 - float(n * 6) * s) / 2);
    for (int i = 0; i < n; ++i)
        DrawDigit(static_cast<unsigned char>(text[size_t(i)]), int(float(x0) + float(i * 6) * s),
                  lineY, s, 0);
}

void LevelComplete() {
    current_screen = "levelclear";
    if (bonus > 0) {
        SetColor(255, 0, 0);
        const float s = std::min(float(dcount) / 4, 10.0f);
        DrawCentredLine("LEVEL BONUS!", s, int(270 - 8 * s));
        DrawCentredLine(Str(bonus), s, int(300 + 8 * s));
    }
    if (looping != 0 && dcount == 0) return; // wait for the loop animation to end
    dcount++;
    if (dcount == 1 && bonus > 0) {
        AddScore(bonus);
        if (int64_t(numfreemen) * 20000 <= score) {
            // One extra life however many thresholds the bonus crossed.
            numfreemen += score / 20000;
            men++;
        }
        PlaySound(snd_bonus);
    }
    if (dcount > 60) {
        Delay(200);
        bonus = 0;
        SetUpLevel();
        UpdateEnemies();
        ZoomIn();
        dcount = 0;
    }
}

void DrawPlayFrame() {
    RenderPlayer();
    RenderSegs();
    RenderEnemies();
    RenderPoints();
    SetColor(0, 0, 255);
    RenderScore();
    RenderMenLeft();
}

// Returns true when this frame's death ended the game.
bool DeathBranch() {
    KillPlayer();
    if (gameover == 1) {
        RenderGameOver();
        bonus = 0;
        for (auto& n : nuc_list) n.active = 0;
        return true;
    }
    Cls();
    UpdateEnemies();
    ZoomIn();
    current_screen = "play";
    return false;
}

} // namespace

void PlayFrame() {
    current_screen = dcount > 0 ? "levelclear" : "play";
    const int64_t start = MicroSecs();
    Cls();
    UpdateEnemies();
    UpdateSegs();
    MouseToPoint();
    LaySegmentIfMoved();
    UpdatePlayer();
    bool gameEnded = false;
    if (dead == 1)
        gameEnded = DeathBranch();
    else
        DrawPlayFrame();
    const int64_t work = MicroSecs() - start;
    tim = work / 1000;
    // A game lost in this frame stays lost, even if the level was also just cleared.
    const int64_t beforeLevelEnd = MicroSecs();
    if (nucsalive == 0 && elecsalive == 0 && !gameEnded) LevelComplete();
    const int64_t levelEnd = MicroSecs() - beforeLevelEnd; // a level's transition is not counted
    Flip(0);
    // The frame lasts 30 ms from its start, presenting included, and never less; a slower
    // frame is not made up for later.
    const int64_t left = 30000 - (MicroSecs() - start - levelEnd);
    if (work < 30000 && left > 0) DelayMicros(left);
}

void EndGame() {
    SaveGameRecordings(score);
    if (chn_bond) {
        StopChannel(chn_bond);
        chn_bond = nullptr;
    }
    playgame = 0;
    if (gameover == 1) {
        if (level - 1 > highestlevel) highestlevel = level - 1;
        HighScore();
        gameover = 0;
    } else {
        // Left with Escape: leave nothing of the game alive for the screens that follow.
        for (auto& n : nuc_list) n.active = 0;
        bondact = 2;
    }
}

namespace {

void PlayFrames() {
    while (!VKeyHit(1) && gameover == 0) PlayFrame();
}

void Shutdown() {
    SaveScores(); // says why in one line when it cannot
    EndGraphics();
    ShowMouse();
}

} // namespace

void MainCycle() {
    while (!VKeyHit(1)) {
        const uint64_t presentedBefore = PresentedFrames();
        if (playgame == 1) {
            StartGame();
            PlayFrames();
            EndGame();
        }
        ShowTitle();
        AfterAttractScreen();
        if (playgame == 0) {
            ShowScores();
            AfterAttractScreen();
        }
        if (playgame == 0) {
            ShowInstructions();
            AfterAttractScreen();
        }
        // With Escape held every screen ends at once: rest rather than spin.
        if (PresentedFrames() == presentedBefore) Delay(10);
    }
}

int RunGame(void (*afterStartup)()) {
    if (!Startup()) return 1;
    if (afterStartup) afterStartup();
    try {
        MainCycle();
    } catch (const QuitRequest&) {
        // The window was closed or the process was asked to stop: end as Escape does.
    }
    Shutdown();
    return 0;
}
