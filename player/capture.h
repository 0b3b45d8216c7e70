// Closing the trail into a loop, and the choosing screens that circle their choices.
#pragma once
#include "state/loop.h"
#include "state/trail.h"

// The choosing screens circle their choices with the trail: segments of the given life, a small
// reticle in the centre, and loops sent to the given mode (1 a level, 2 a letter).
void BeginChoosing(int trailLife, LoopMode mode);
// Back to capturing, with the trail cleared.
void EndChoosing();

// Tests the segment just laid against live bonds (a crossing kills) and older segments.
void CheckBonds(seg& newest);
void CheckForLoop(seg& newest);
void CreateLoop(int crossX, int crossY, seg& newest, seg& older);
