// Pulsars: grow a shield and home in on the player.
#pragma once
#include "entity/list.h"

struct pulsar;
inline KindList<pulsar> pulsar_list;

struct pulsar : Kind<pulsar, pulsar_list> {
    float x = 0, y = 0, dx = 0, dy = 0;
    int caught = 0;
    int pulse = 0; // 0..48 and back: the shield grows from 20 up
    int dir = 0;
};

void CreatePulsars();
void UpdatePulsars();
void RenderPulsars();
