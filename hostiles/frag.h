// Fragments: the burst of the player's point when it is hit.
#pragma once
#include "entity/list.h"

struct Frag : Kind<Frag> {
    static constexpr bool kJoinsList = true;
    static KindList<Frag>& List();
    float x = 0, y = 0, dx = 0, dy = 0;
};
inline KindList<Frag> Frag_list;
inline KindList<Frag>& Frag::List() { return Frag_list; }

void CreateFrags();
void UpdateFrags();
