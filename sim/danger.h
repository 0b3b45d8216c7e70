// What an autopilot must keep clear of, a frame ahead.
#pragma once

// Whether the point at (px, py) keeps clear of everything deadly a frame from now; bonds count
// only when asked, while they are live or about to be.
bool Safe(int px, int py, bool avoidBonds);

// Whether a trail segment from (x0, y0) to (x1, y1) laid next frame would cross a bond that is
// live by then, or within `soon` frames, or pass within `margin` of one.
bool CrossesLiveBond(int x0, int y0, int x1, int y1, int soon, float margin);

// Distance from (px, py) to the nearest deadly particle a frame from now, at most `cap`.
float Clearance(int px, int py, float cap);
