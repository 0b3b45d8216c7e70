// Photons: fired across the field through its centre.
#pragma once
#include "entity/list.h"

struct phot;
inline KindList<phot> phot_list;

struct phot : Kind<phot, phot_list> {
    float x = 0, y = 0, dx = 0, dy = 0;
    int caught = 0;
};

void CreatePhoton();
void UpdatePhotons();
void RenderPhotons();
