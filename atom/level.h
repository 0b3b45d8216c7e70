// Level set-up: the reset between levels, the difficulty of each level, and the loop handlers
// of the two choosing screens.
#pragma once

// Every difficulty global is a pure function of the level number.
inline int nucsperlevel = 0;
inline float nucspeed = 0;
inline int nucact = 0;
inline float phspeed = 0;
inline int phcreatewait = 0;
inline int phtimer = 0;
inline int tanksperlevel = 0;
inline float tankspeed = 0;
inline int tankminewait = 0;
inline int minedur = 0;
inline int starsperlevel = 0;
inline int starsplitwait = 0;
inline float starspeed = 0;
inline int pulsarsperlevel = 0;
inline float pulsarspeed = 0;
inline float bcountmax = 0;
inline int bcountwarn = 0;
inline int bcountdead = 0;

void ResetAll();
void SetUpLevel();
void SetLevelDifficulty();
// Loop handlers of the level choice and the initials entry.
void LevelEm();
void AlphaEm();
