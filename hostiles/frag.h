// Fragments: the burst of the player's point when it is hit.
#pragma once
#include "entity/list.h"

struct Frag;
template <> KindList<Frag>& ListOf<Frag>(); // the World holds it

struct Frag : Kind<Frag> {
    float x = 0, y = 0, dx = 0, dy = 0;
    int r = 0, g = 0, b = 0;
    int life = 0;
};

// Four rings of sixteen from the point, skipping rings once 100 fragments are alive.
void CreateFrags();
void UpdateFrags();
void RenderFrags();
