// The game's counters: whether a game is on, lives, score, level, and the screen running now.
#pragma once
#include <cstdint>

// Whether a game is on (the attract screens run between games).
enum PlayGame { kNoGame = 0, kInGame = 1 };
// Whether the game on has ended (its last life lost, or left with Escape).
enum GameOver { kGameGoesOn = 0, kGameIsOver = 1 };

struct GameState {
    PlayGame playgame = kNoGame;
    GameOver gameover = kGameGoesOn;
    int nummen = 3;
    int men = 0;
    int numfreemen = 0; // the next extra life comes at numfreemen x 20000 points
    int score = 0;
    int level = 0;
    int highestlevel = 51;
    int64_t bonus = 0; // 64 bits: the starting-level bonus of a very high level overflows 32
    int dcount = 0;
    int64_t tim = 0;
    // For koravel-sim's trace: title, scores, instructions, picklevel, play, levelclear, zoom,
    // death, gameover or highscore.
    const char* current_screen = "title";

    void Reset() { *this = GameState{}; }
};

// Adds points, holding the score at the largest 32-bit value instead of wrapping negative.
void AddScore(int64_t points);
// The bonus paid for clearing the first level of a game started at this level.
int64_t StartBonus(int64_t startLevel);
// One more life once the score has reached the next 20000-point threshold. Points move the
// threshold on by one step; a level's bonus, which may cross several at once, by score / 20000
// steps. Returns whether a life was given.
enum class LifeFrom { Points, Bonus };
bool ExtraLife(LifeFrom from);
