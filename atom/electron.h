// Electrons: orbit their nucleus on lens-shaped paths, and fly off when it goes without them.
#pragma once
#include <memory>

#include "atom/nucleus.h"
#include "entity/list.h"

struct elec;
template <> KindList<elec>& ListOf<elec>(); // the World holds it

struct elec : Kind<elec> {
    std::shared_ptr<nuc> parent;
    int rad = 0;
    int axis = 0; // 0 travels along x, 1 along y
    float ox = 0; // offset from the parent while bound; absolute once loose
    float oy = 0;
    float dx = 0; // bound: speed on the travelled axis, or the arc selector (+-1.0)
    float dy = 0; // loose: the velocity
    int r = 0, g = 0, b = 0;
    int cnum = 0;
    int loose = 0;
    int cx = 0, cy = 0; // the parent's centre at the last bound update
    int caught = 0;
    int withnuc = 0; // caught with its nucleus, and paid with it
};

// Where the electron is drawn: around its nucleus while bound, on its own once loose.
inline float ElecX(const elec& e) { return e.loose ? e.ox : e.parent->x + e.ox; }
inline float ElecY(const elec& e) { return e.loose ? e.oy : e.parent->y + e.oy; }

void CreateElectrons(const std::shared_ptr<nuc>& nucleus);
void UpdateElectrons();
void RenderElectrons();
