// Score popups, and the one way points are awarded during play.
#pragma once
#include "entity/list.h"

struct pnts;
template <> KindList<pnts>& ListOf<pnts>(); // the World holds it

struct pnts : Kind<pnts> {
    int x = 0, y = 0, timer = 0, value = 0;
};

// A negative v gives a short popup; the score grows by |v| either way.
void CreatePoints(int px, int py, int v);
