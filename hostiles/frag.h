// Fragments: the burst of the player's point when it is hit.
#pragma once
#include "entity/list.h"

struct Frag;
inline KindList<Frag> Frag_list;

struct Frag : Kind<Frag, Frag_list> {
    float x = 0, y = 0, dx = 0, dy = 0;
};

void CreateFrags();
void UpdateFrags();
