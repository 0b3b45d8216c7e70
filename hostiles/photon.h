// Photons: fired across the field through its centre.
#pragma once
#include "entity/list.h"

struct phot : Kind<phot> {
    static constexpr bool kJoinsList = true;
    static KindList<phot>& List();
    float x = 0, y = 0, dx = 0, dy = 0;
    int caught = 0;
};
inline KindList<phot> phot_list;
inline KindList<phot>& phot::List() { return phot_list; }

void UpdatePhotons();
void RenderPhotons();
