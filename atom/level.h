// Level set-up: the reset between levels, the difficulty of each level, and the loop handlers
// of the two choosing screens.
#pragma once

// Every difficulty global is a pure function of the level number.

void ResetAll();
void SetUpLevel();
void SetLevelDifficulty();
// Loop handlers of the level choice and the initials entry.
void LevelEm();
void AlphaEm();
