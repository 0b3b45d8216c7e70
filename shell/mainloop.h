// The top level: the attract cycle, games of 30 ms frames, and the end of the program.
#pragma once

void MainCycle();
// Loads nothing, opens the display, runs until Escape (or the window is closed), saves the
// table of scores. Returns the process exit status.
int RunGame();
