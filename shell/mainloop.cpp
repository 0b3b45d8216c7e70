#include "shell/mainloop.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "atom/enemies.h"
#include "atom/level.h"
#include "atom/nucleus.h"
#include "engine/graphics.h"
#include "engine/input.h"
#include "engine/mathx.h"
#include "engine/text.h"
#include "player/player.h"
#include "player/trail.h"
#include "record/replay.h"
#include "screens/attract.h"
#include "screens/death.h"
#include "screens/font.h"
#include "screens/hiscore.h"
#include "screens/hud.h"
#include "screens/pause.h"
#include "screens/picklevel.h"
#include "screens/zoom.h"
#include "shell/startup.h"
#include "state/field.h"
#include "state/game.h"
#include "state/point.h"
#include "state/sounds.h"
#include "state/trail.h"
#include "state/world.h"

namespace {

std::vector<std::function<void(const FinishedGame&)>> gameOverListeners;

// After each attract screen: a click starts the level choice, otherwise pause between screens.
void AfterAttractScreen() {
    World& world = CurrentWorld();
    if (MouseHit(1) && world.game.playgame == kNoGame) {
        world.game.playgame = kInGame;
        PickLevel();
    } else if (!KeyDown(kKeyEscape) && world.game.playgame == kNoGame) {
        Delay(1500);
    }
}

// The point moves by 0.35 of the mouse's movement; the pointer is put back onto it.
void MouseToPoint() {
    World& world = CurrentWorld();
    world.point.xm = int((MouseX() - world.point.x) * k035);
    world.point.ym = int((MouseY() - world.point.y) * k035);
    world.point.x = std::clamp(world.point.x + world.point.xm, 60, 740);
    world.point.y = std::clamp(world.point.y + world.point.ym, 30, 570);
    MoveMouse(world.point.x, world.point.y);
}

void DrawCentredLine(const std::string& text, float s, int lineY) {
    const int n = int(text.size());
    const int x0 = int((800 - float(n * 6) * s) / 2);
    for (int i = 0; i < n; ++i)
        DrawDigit(static_cast<unsigned char>(text[size_t(i)]), int(float(x0) + float(i * 6) * s),
                  lineY, s, 0);
}

void LevelComplete() {
    World& world = CurrentWorld();
    world.game.current_screen = "levelclear";
    if (world.game.bonus > 0) {
        SetColor(255, 0, 0);
        const float s = std::min(float(world.game.dcount) / 4, 10.0f);
        DrawCentredLine("LEVEL BONUS!", s, int(270 - 8 * s));
        DrawCentredLine(Str(world.game.bonus), s, int(300 + 8 * s));
    }
    if (world.trail.looping != 0 && world.game.dcount == 0)
        return; // wait for the loop animation to end
    world.game.dcount++;
    if (world.game.dcount == 1 && world.game.bonus > 0) {
        AddScore(world.game.bonus);
        ExtraLife(LifeFrom::Bonus); // one life however many thresholds the bonus crossed
        PlaySound(world.sfx.snd_bonus);
    }
    if (world.game.dcount > 60) {
        Delay(200);
        world.game.bonus = 0;
        SetUpLevel();
        UpdateEnemies();
        ZoomIn();
        world.game.dcount = 0;
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
    World& world = CurrentWorld();
    KillPlayer();
    if (world.game.gameover == kGameIsOver) {
        RenderGameOver();
        world.game.bonus = 0;
        for (auto& n : world.nuc_list) n.active = kSlotFree;
        return true;
    }
    Cls();
    UpdateEnemies();
    ZoomIn();
    world.game.current_screen = "play";
    return false;
}

} // namespace

void StartGame() {
    World& world = CurrentWorld();
    world.game.numfreemen = 1;
    world.game.men = world.game.nummen;
    world.game.score = 0;
    world.game.dcount = 0;
    world.game.bonus = 0;
    TakeKeyHit(kKeyPause); // pressed before the game: forgotten
    SetUpLevel();
    UpdateEnemies();
    ZoomIn();
    FlushMouse();
    if (world.game.level > 1) world.game.bonus = StartBonus(world.game.level);
}

void PlayFrame() {
    World& world = CurrentWorld();
    world.game.current_screen = world.game.dcount > 0 ? "levelclear" : "play";
    const int64_t start = MicroSecs();
    Cls();
    UpdateEnemies();
    UpdateSegs();
    MouseToPoint();
    LaySegmentIfMoved();
    UpdatePlayer();
    bool gameEnded = false;
    if (world.point.dead == 1)
        gameEnded = DeathBranch();
    else
        DrawPlayFrame();
    const int64_t work = MicroSecs() - start;
    world.game.tim = work / 1000;
    // A game lost in this frame stays lost, even if the level was also just cleared.
    const int64_t beforeLevelEnd = MicroSecs();
    if (world.field.nucsalive == 0 && world.field.elecsalive == 0 && !gameEnded) LevelComplete();
    const int64_t levelEnd = MicroSecs() - beforeLevelEnd; // a level's transition is not counted
    Flip(0);
    // The frame lasts 30 ms from its start, presenting included, and never less; a slower
    // frame is not made up for later.
    const int64_t left = 30000 - (MicroSecs() - start - levelEnd);
    if (work < 30000 && left > 0) DelayMicros(left);
    // Read without a query of its own: games never paused replay as they always did.
    if (TakeKeyHit(kKeyPause) && world.game.gameover == kGameGoesOn) PauseGame();
}

void OnGameOver(std::function<void(const FinishedGame&)> listener) {
    gameOverListeners.push_back(std::move(listener));
}

void EndGame() {
    World& world = CurrentWorld();
    SaveGameRecordings(world.game.score);
    if (world.field.chn_bond) {
        StopChannel(world.field.chn_bond);
        world.field.chn_bond = nullptr;
    }
    world.game.playgame = kNoGame;
    if (world.game.gameover == kGameIsOver) {
        if (world.game.level - 1 > world.game.highestlevel)
            world.game.highestlevel = world.game.level - 1;
        const size_t place = size_t(ScorePosition(world.game.score));
        FinishedGame finished{world.game.score, world.game.level, PresentedFrames(), "",
                              PollCount()};
        HighScore();
        if (place < world.hiscores.names.size()) finished.name = world.hiscores.names[place];
        for (const auto& listener : gameOverListeners) listener(finished);
        world.game.gameover = kGameGoesOn;
    } else {
        // Left with Escape: leave nothing of the game alive for the screens that follow.
        for (auto& n : world.nuc_list) n.active = kSlotFree;
        world.field.bondact = kBondsHarmless;
    }
}

namespace {

void PlayFrames() {
    while (!KeyHit(kKeyEscape) && CurrentWorld().game.gameover == kGameGoesOn) PlayFrame();
}

void Shutdown() {
    SaveScores(); // says why in one line when it cannot
    EndGraphics();
    ShowMouse();
}

} // namespace

void MainCycle() {
    World& world = CurrentWorld();
    while (!KeyHit(kKeyEscape)) {
        const uint64_t presentedBefore = PresentedFrames();
        if (world.game.playgame == kInGame) {
            StartGame();
            PlayFrames();
            EndGame();
        }
        ShowTitle();
        AfterAttractScreen();
        if (world.game.playgame == kNoGame) {
            ShowScores();
            AfterAttractScreen();
        }
        if (world.game.playgame == kNoGame) {
            ShowInstructions();
            AfterAttractScreen();
        }
        // With Escape held every screen ends at once: rest rather than spin.
        if (PresentedFrames() == presentedBefore) Delay(10);
    }
}

int RunGame(void (*afterStartup)()) {
    World& world = CurrentWorld();
    if (!Startup()) return 1;
    if (afterStartup) afterStartup();
    try {
        MainCycle();
    } catch (const QuitRequest&) {
        // The window was closed or the process was asked to stop: end as Escape does, and keep
        // a game cut short as its recording up to this frame.
        if (world.game.playgame == kInGame) SaveGameRecordings(world.game.score);
    }
    Shutdown();
    return 0;
}
