// The player's point: where it is, how big its reticle is, and whether something touched it.
#pragma once

inline int x = 400, y = 300;
inline int pw = 4;
inline int pwtimer = 0;
inline int nucskilled = 0;
inline int dead = 0;
inline int nucsalive = 0;

// Strict on all four sides: boxes that only share an edge do not overlap.
int RectsOverlap(int x1, int y1, int w1, int h1, int x2, int y2, int w2, int h2);
void UpdatePlayer();
void RenderPlayer();
// On the choosing screens the point follows the pointer directly, kept inside the field.
void PointFollowsMouse();
