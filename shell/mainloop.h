// The top level: the attract cycle, games of 30 ms frames, and the end of the program.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

void MainCycle();
// Starts a game at game.level: the score and lives new, its first level set up and zoomed in.
void StartGame();
// One 30 ms frame of play: enemies, trail, point, contact, drawing, the level's end.
void PlayFrame();
// Ends a game: the hum stops, and a game left with Escape leaves nothing alive behind.
void EndGame();

// A game played to its game over, as the score board checks it: its score, the level it
// reached, the frame it ended on, and the initials entered for it (empty when it made no
// place in the table).
struct FinishedGame {
    int score = 0;
    int level = 0;
    uint64_t frame = 0;
    std::string name;
    uint64_t endPoll = 0; // the input poll the game ended on, before its initials
};
// Adds a listener, called at every game over once its initials have been entered.
void OnGameOver(std::function<void(const FinishedGame&)> listener);
// Loads nothing, opens the display, runs until Escape (or the window is closed), saves the
// table of scores. Returns the process exit status.
int RunGame(void (*afterStartup)() = nullptr);
