#include "player/capture.h"

#include "engine/input.h"
#include "player/player.h"
#include "player/trail.h"

void BeginChoosing(int trailLife, int mode) {
    segdur = trailLife;
    pw = 4;
    loopmode = mode;
    x = xold = 400;
    y = yold = 300;
    MoveMouse(400, 300);
}

void EndChoosing() {
    loopmode = 0;
    ClearSegs();
}

// Bonds and loop closing arrive with the capture mechanics; until then a trail closes nothing.
void CheckBonds(seg&) {}
void CheckForLoop(seg&) {}
int PointInPoly(int, int) { return 0; }
