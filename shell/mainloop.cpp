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

namespace {

std::vector<std::function<void(const FinishedGame&)>> gameOverListeners;

// After each attract screen: a click starts the level choice, otherwise pause between screens.
void AfterAttractScreen() {
    if (MouseHit(1) && game.playgame == kNoGame) {
        game.playgame = kInGame;
        PickLevel();
    } else if (!KeyDown(kKeyEscape) && game.playgame == kNoGame) {
        Delay(1500);
    }
}

void StartGame() {
    game.numfreemen = 1;
    game.men = game.nummen;
    game.score = 0;
    game.dcount = 0;
    game.bonus = 0;
    TakeKeyHit(kKeyPause); // pressed before the game: forgotten
    SetUpLevel();
    UpdateEnemies();
    ZoomIn();
    FlushMouse();
    if (game.level > 1) game.bonus = StartBonus(game.level);
}

// The point moves by 0.35 of the mouse's movement; the pointer is put back onto it.
void MouseToPoint() {
    point.xm = int((MouseX() - point.x) * k035);
    point.ym = int((MouseY() - point.y) * k035);
    point.x = std::clamp(point.x + point.xm, 60, 740);
    point.y = std::clamp(point.y + point.ym, 30, 570);
    MoveMouse(point.x, point.y);
}

void DrawCentredLine(const std::string& text, float s, int lineY) {
    const int n = int(text.size());
    const int x0 = int((800 - float(n * 6) * s) / 2);
    for (int i = 0; i < n; ++i)
        DrawDigit(static_cast<unsigned char>(text[size_t(i)]), int(float(x0) + float(i * 6) * s),
                  lineY, s, 0);
}

void LevelComplete() {
    game.current_screen = "levelclear";
    if (game.bonus > 0) {
        SetColor(255, 0, 0);
        const float s = std::min(float(game.dcount) / 4, 10.0f);
        DrawCentredLine("LEVEL BONUS!", s, int(270 - 8 * s));
        DrawCentredLine(Str(game.bonus), s, int(300 + 8 * s));
    }
    if (trail.looping != 0 && game.dcount == 0) return; // wait for the loop animation to end
    game.dcount++;
    if (game.dcount == 1 && game.bonus > 0) {
        AddScore(game.bonus);
        ExtraLife(LifeFrom::Bonus); // one life however many thresholds the bonus crossed
        PlaySound(sfx.snd_bonus);
    }
    if (game.dcount > 60) {
        Delay(200);
        game.bonus = 0;
        SetUpLevel();
        UpdateEnemies();
        ZoomIn();
        game.dcount = 0;
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
    if (game.gameover == kGameIsOver) {
        RenderGameOver();
        game.bonus = 0;
        for (auto& n : nuc_list) n.active = kSlotFree;
        return true;
    }
    Cls();
    UpdateEnemies();
    ZoomIn();
    game.current_screen = "play";
    return false;
}

} // namespace

void PlayFrame() {
    game.current_screen = game.dcount > 0 ? "levelclear" : "play";
    const int64_t start = MicroSecs();
    Cls();
    UpdateEnemies();
    UpdateSegs();
    MouseToPoint();
    LaySegmentIfMoved();
    UpdatePlayer();
    bool gameEnded = false;
    if (point.dead == 1)
        gameEnded = DeathBranch();
    else
        DrawPlayFrame();
    const int64_t work = MicroSecs() - start;
    game.tim = work / 1000;
    // A game lost in this frame stays lost, even if the level was also just cleared.
    const int64_t beforeLevelEnd = MicroSecs();
    if (field.nucsalive == 0 && field.elecsalive == 0 && !gameEnded) LevelComplete();
    const int64_t levelEnd = MicroSecs() - beforeLevelEnd; // a level's transition is not counted
    Flip(0);
    // The frame lasts 30 ms from its start, presenting included, and never less; a slower
    // frame is not made up for later.
    const int64_t left = 30000 - (MicroSecs() - start - levelEnd);
    if (work < 30000 && left > 0) DelayMicros(left);
    // Read without a query of its own: games never paused replay as they always did.
    if (TakeKeyHit(kKeyPause) && game.gameover == kGameGoesOn) PauseGame();
}

void OnGameOver(std::function<void(const FinishedGame&)> listener) {
    gameOverListeners.push_back(std::move(listener));
}

void EndGame() {
    SaveGameRecordings(game.score);
    if (field.chn_bond) {
        StopChannel(field.chn_bond);
        field.chn_bond = nullptr;
    }
    game.playgame = kNoGame;
    if (game.gameover == kGameIsOver) {
        if (game.level - 1 > game.highestlevel) game.highestlevel = game.level - 1;
        const size_t place = size_t(ScorePosition(game.score));
        FinishedGame finished{game.score, game.level, PresentedFrames(), "", PollCount()};
        HighScore();
        if (place < hiscores.names.size()) finished.name = hiscores.names[place];
        for (const auto& listener : gameOverListeners) listener(finished);
        game.gameover = kGameGoesOn;
    } else {
        // Left with Escape: leave nothing of the game alive for the screens that follow.
        for (auto& n : nuc_list) n.active = kSlotFree;
        field.bondact = kBondsHarmless;
    }
}

namespace {

void PlayFrames() {
    while (!KeyHit(kKeyEscape) && game.gameover == kGameGoesOn) PlayFrame();
}

void Shutdown() {
    SaveScores(); // says why in one line when it cannot
    EndGraphics();
    ShowMouse();
}

} // namespace

void MainCycle() {
    while (!KeyHit(kKeyEscape)) {
        const uint64_t presentedBefore = PresentedFrames();
        if (game.playgame == kInGame) {
            StartGame();
            PlayFrames();
            EndGame();
        }
        ShowTitle();
        AfterAttractScreen();
        if (game.playgame == kNoGame) {
            ShowScores();
            AfterAttractScreen();
        }
        if (game.playgame == kNoGame) {
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
        // The window was closed or the process was asked to stop: end as Escape does, and keep
        // a game cut short as its recording up to this frame.
        if (game.playgame == kInGame) SaveGameRecordings(game.score);
    }
    Shutdown();
    return 0;
}
