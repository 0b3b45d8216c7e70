// The last loop the trail closed, and what the choosing screens' loops chose.
#pragma once
#include <array>

// What a closed loop does: capture (play), choose a level, choose a letter.
enum LoopMode { kCaptureLoop = 0, kLevelLoop = 1, kLetterLoop = 2 };

struct LoopState {
    std::array<float, 101> xpseg{};
    std::array<float, 101> ypseg{};
    int numsegsinloop = 0;
    int minx = 0, maxx = 0, miny = 0, maxy = 0;
    float cpx = 0, cpy = 0;
    LoopMode loopmode = kCaptureLoop;
    int g_numkilled = 0;
    int numstarskilled = 0;
    int levelselected = -9999;
    int letterselected = -9999;

    void Reset() { *this = LoopState{}; }
};

// Strict on all four sides: boxes that only share an edge do not overlap.
int RectsOverlap(int x1, int y1, int w1, int h1, int x2, int y2, int w2, int h2);
// Even-odd test against the last closed loop; a point on an edge is not counted by that edge.
int PointInPoly(int px, int py);
// Inside the last closed loop: the strict bounding-box test, then the polygon test.
bool InLoop(int px, int py);
