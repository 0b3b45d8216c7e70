// Level set-up: the reset between levels and the difficulty of each level.
#pragma once

void ResetAll();
void SetUpLevel();
void SetLevelDifficulty();
