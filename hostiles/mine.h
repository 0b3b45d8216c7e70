// Mines: laid by tanks, shrinking until they vanish.
#pragma once
#include "entity/list.h"

struct mine;
template <> KindList<mine>& ListOf<mine>(); // the World holds it
extern KindList<mine>& mine_list;

struct mine : Kind<mine> {
    int x = 0, y = 0; // whole pixels
    int caught = 0;
    int life = 0; // deadly and catchable above 15, gone below 10
};

void CreateMine(int mx, int my);

void UpdateMines();
void RenderMines();
