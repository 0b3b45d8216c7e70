// How hard a level is: every value a pure function of the level number, computed by
// DifficultyOf alone.
#pragma once

#include "state/field.h"

struct Difficulty {
    int nucsperlevel = 0;
    float nucspeed = 0;
    NucActive nucact = kSlotFree;
    float phspeed = 0;
    int phcreatewait = 0; // the launcher's first wait of the level (the field keeps its own)
    int tanksperlevel = 0;
    float tankspeed = 0;
    int tankminewait = 0;
    int minedur = 0;
    int starsperlevel = 0;
    int starsplitwait = 0;
    float starspeed = 0;
    int pulsarsperlevel = 0;
    float pulsarspeed = 0;
    float bcountmax = 0;
    int bcountwarn = 0;
    int bcountdead = 0;
    int segdur = 0; // the life of a trail segment, which the trail keeps (other screens set it)
};

Difficulty DifficultyOf(int level);
