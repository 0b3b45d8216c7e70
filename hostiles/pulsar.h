// Pulsars: grow a shield and home in on the player.
#pragma once
#include <string>

#include "entity/list.h"
#include "state/point.h"

struct pulsar;
template <> KindList<pulsar>& ListOf<pulsar>(); // the World holds it

struct pulsar : Kind<pulsar> {
    float x = 0, y = 0, dx = 0, dy = 0;
    int caught = 0;
    int pulse = 0; // 0..48 and back: the shield grows from 20 up
    int dir = 0;
};

void CreatePulsars();
void UpdatePulsars();
void RenderPulsars();
// Their part in the table of kinds (hostiles/kinds.h): how many touch the point, the capture
// by the last loop, their places for the trace.
int PulsarContacts(const HitBox& p);
void CapturePulsars();
void PulsarPlaces(std::string& out);
