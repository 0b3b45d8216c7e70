// Stars: drift, flash a warning, and split into more stars.
#pragma once
#include <string>

#include "entity/list.h"
#include "state/point.h"

struct star;
template <> KindList<star>& ListOf<star>(); // the World holds it

struct star : Kind<star> {
    float x = 0, y = 0, dx = 0, dy = 0;
    int caught = 0;
    int frame = 0;
};

// A new star at (x, y), or at a random place when both are -1.
void CreateStars(int sx, int sy);
void UpdateStars();
void RenderStars();
// Their part in the table of kinds (hostiles/kinds.h): how many touch the point, the capture
// by the last loop, their places for the trace.
int StarContacts(const HitBox& p);
void CaptureStars();
void StarPlaces(std::string& out);
