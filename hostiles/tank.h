// Tanks: wander the field and lay mines.
#pragma once
#include "entity/list.h"

struct tank;
template <> KindList<tank>& ListOf<tank>(); // the World holds it
extern KindList<tank>& tank_list;

struct tank : Kind<tank> {
    float x = 0, y = 0, dx = 0, dy = 0;
    int caught = 0;
    int frame = 0; // 0..31
    int timer = 0; // frames until the next mine
};

void CreateTanks();
void UpdateTanks();
void RenderTanks();
