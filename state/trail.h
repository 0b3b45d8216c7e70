// The trail: segments laid as the point moves, newest at the head of seg_list.
#pragma once
#include "entity/list.h"

struct seg;
template <> KindList<seg>& ListOf<seg>(); // the World holds it

// CreateSeg puts a segment at the head of the list itself.
struct seg : Kind<seg, false> {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int life = 0;
    int shrink = 0;
};

struct TrailState {
    int segs = 0;   // segments in seg_list
    int segdur = 0; // a new segment's life
    int xold = 400, yold = 300;
    int counter = 0;
    int looping = 0; // frames left of the closing loop's animation

    void Reset() { *this = TrailState{}; }
    // A new level: the trail starts from the middle, its count of moves from zero.
    void NewLevel() {
        counter = 0;
        xold = 400;
        yold = 300;
    }
};
// Removes every segment, keeping segs in step.
void ClearSegs();
