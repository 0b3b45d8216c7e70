// Stars: drift, flash a warning, and split into more stars.
#pragma once
#include "entity/list.h"

struct star : Kind<star> {
    static constexpr bool kJoinsList = true;
    static KindList<star>& List();
    float x = 0, y = 0, dx = 0, dy = 0;
    int caught = 0;
};
inline KindList<star> star_list;
inline KindList<star>& star::List() { return star_list; }

void UpdateStars();
void RenderStars();
