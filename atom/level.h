// Level set-up: the reset between levels, the difficulty of each level, and the loop handlers
// of the two choosing screens.
#pragma once

// Every difficulty global is a pure function of the level number.

// A level's particles gone: the hostiles, the bonds, the electrons, the score popups.
void ClearLevelLists();
void ResetAll();
void SetUpLevel();
void SetLevelDifficulty();
// Loop handlers of the level choice and the initials entry.
void LevelEm();
void AlphaEm();
