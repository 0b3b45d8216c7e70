// Mines: laid by tanks, shrinking until they vanish.
#pragma once
#include <string>

#include "entity/list.h"
#include "state/point.h"

struct mine;
template <> KindList<mine>& ListOf<mine>(); // the World holds it

struct mine : Kind<mine> {
    int x = 0, y = 0; // whole pixels
    int caught = 0;
    int life = 0; // deadly and catchable above 15, gone below 10
};

void CreateMine(int mx, int my);

void UpdateMines();
void RenderMines();
// Their part in the table of kinds (hostiles/kinds.h): how many touch the point, the capture
// by the last loop, their places for the trace.
int MineContacts(const HitBox& p);
void CaptureMines();
void MinePlaces(std::string& out);
