// Electrons orbiting their nuclei.
#pragma once
#include <memory>

#include "atom/nucleus.h"
#include "entity/list.h"

struct elec : Kind<elec> {
    static constexpr bool kJoinsList = true;
    static KindList<elec>& List();
    float x = 0, y = 0, dx = 0, dy = 0;
    float ox = 0, oy = 0;
    int caught = 0;
    int withnuc = 0;
    std::shared_ptr<nuc> parent;
};
inline KindList<elec> elec_list;
inline KindList<elec>& elec::List() { return elec_list; }

inline int elecsalive = 0;

void UpdateElectrons();
void RenderElectrons();
