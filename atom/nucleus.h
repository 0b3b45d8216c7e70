// Nuclei: the eight reusable balls at the heart of every level.
#pragma once
#include <array>
#include <memory>

#include "engine/graphics.h"
#include "entity/list.h"
#include "state/field.h"

struct nuc;
template <> KindList<nuc>& ListOf<nuc>(); // the World holds it

struct nuc : Kind<nuc> {
    float x = 0, y = 0, dx = 0, dy = 0;
    int r = 0, g = 0, b = 0;
    int cnum = 0;
    int caught = 0;
    NucActive active = kSlotFree;
    int slot = 0;
    int elecs = 0;
};

// Slots 0..7 hold the run's only nuclei; slot 8 stays empty.

// The seven shaded balls; frame i is drawn for colour index i.

// Fills the nucleus of a free slot for a new level, with its electrons.
void CreateNucleus(int slot);
// Places a nucleus 50 to 275 pixels off the centre column and 50 to 235 off the centre row,
// moving away at a random speed.
void ScatterNucleus(nuc& n);
void UpdateNucleus();
void RenderNucleus();
