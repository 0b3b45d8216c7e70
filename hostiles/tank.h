// Tanks: wander the field and lay mines.
#pragma once
#include "entity/list.h"

struct tank : Kind<tank> {
    static constexpr bool kJoinsList = true;
    static KindList<tank>& List();
    float x = 0, y = 0, dx = 0, dy = 0;
    int caught = 0;
};
inline KindList<tank> tank_list;
inline KindList<tank>& tank::List() { return tank_list; }

void UpdateTanks();
void RenderTanks();
