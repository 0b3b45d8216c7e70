// The top level: the attract cycle, games of 30 ms frames, and the end of the program.
#pragma once

void MainCycle();
// One 30 ms frame of play: enemies, trail, point, contact, drawing, the level's end.
void PlayFrame();
// Ends a game: the hum stops, and a game left with Escape leaves nothing alive behind.
void EndGame();
// Loads nothing, opens the display, runs until Escape (or the window is closed), saves the
// table of scores. Returns the process exit status.
int RunGame(void (*afterStartup)() = nullptr);
