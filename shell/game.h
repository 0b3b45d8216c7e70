// The state of the game shell: games, lives, score, levels and frame timing.
#pragma once
#include <cstdint>

inline int playgame = 0;
inline int gameover = 0;
inline int nummen = 3;
inline int men = 0;
inline int numfreemen = 0;
inline int score = 0;
inline int level = 0;
inline int highestlevel = 51;
inline int64_t bonus = 0; // 64 bits: the starting-level bonus of a very high level overflows 32
inline int dcount = 0;
inline int64_t tim = 0;
inline int xm = 0, ym = 0;

// The screen running now, for koravel-sim's trace: title, scores, instructions, picklevel, play,
// levelclear, zoom, death, gameover or highscore.
inline const char* current_screen = "title";

// Adds points, holding the score at the largest 32-bit value instead of wrapping negative.
void AddScore(int64_t points);
// The bonus paid for clearing the first level of a game started at this level.
int64_t StartBonus(int64_t startLevel);
