// Score popups, and the one way points are awarded during play.
#pragma once
#include "entity/list.h"

struct pnts : Kind<pnts> {
    static constexpr bool kJoinsList = true;
    static KindList<pnts>& List();
    int x = 0, y = 0, timer = 0, value = 0;
};
inline KindList<pnts> pnts_list;
inline KindList<pnts>& pnts::List() { return pnts_list; }

// A negative v gives a short popup; the score grows by |v| either way.
void CreatePoints(int px, int py, int v);
void RenderPoints();
