// Mines: laid by tanks, shrinking until they vanish.
#pragma once
#include "entity/list.h"

struct mine : Kind<mine> {
    static constexpr bool kJoinsList = true;
    static KindList<mine>& List();
    int x = 0, y = 0;
    int life = 0;
    int caught = 0;
};
inline KindList<mine> mine_list;
inline KindList<mine>& mine::List() { return mine_list; }

void UpdateMines();
void RenderMines();
