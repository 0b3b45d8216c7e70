// Electrons orbiting their nuclei.
#pragma once
#include <memory>

#include "atom/nucleus.h"
#include "entity/list.h"

struct elec;
inline KindList<elec> elec_list;

struct elec : Kind<elec, elec_list> {
    float x = 0, y = 0, dx = 0, dy = 0;
    float ox = 0, oy = 0;
    int caught = 0;
    int withnuc = 0;
    std::shared_ptr<nuc> parent;
};

inline int elecsalive = 0;

void UpdateElectrons();
void RenderElectrons();
