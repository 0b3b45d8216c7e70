// The player's point: where it is, how it moved, how big its reticle is, and whether something
// touched it.
#pragma once

struct PointState {
    int x = 400, y = 300;
    int xm = 0, ym = 0; // this frame's move
    int pw = 4;         // the reticle's size
    int pwtimer = 0;
    int nucskilled = 0; // a nucleus was caught since the reticle last grew
    int dead = 0;

    void Reset() { *this = PointState{}; }
};

// The square around the point that contact is tested against, this frame.
struct HitBox {
    int x, y, size;
};
HitBox PlayerBox();
// Whether the box (bx, by, bw, bh) overlaps the point's.
bool Touches(const HitBox& p, int bx, int by, int bw, int bh);
