// Pulsars: grow a shield and home in on the player.
#pragma once
#include "entity/list.h"

struct pulsar : Kind<pulsar> {
    static constexpr bool kJoinsList = true;
    static KindList<pulsar>& List();
    float x = 0, y = 0, dx = 0, dy = 0;
    int pulse = 0;
    int caught = 0;
};
inline KindList<pulsar> pulsar_list;
inline KindList<pulsar>& pulsar::List() { return pulsar_list; }

void UpdatePulsars();
void RenderPulsars();
