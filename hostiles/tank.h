// Tanks: wander the field and lay mines.
#pragma once
#include <string>

#include "entity/list.h"
#include "state/point.h"

struct tank;
template <> KindList<tank>& ListOf<tank>(); // the World holds it

struct tank : Kind<tank> {
    float x = 0, y = 0, dx = 0, dy = 0;
    int caught = 0;
    int frame = 0; // 0..31
    int timer = 0; // frames until the next mine
};

void CreateTanks();
void UpdateTanks();
void RenderTanks();
// Their part in the table of kinds (hostiles/kinds.h): how many touch the point, the capture
// by the last loop, their places for the trace.
int TankContacts(const HitBox& p);
void CaptureTanks();
void TankPlaces(std::string& out);
