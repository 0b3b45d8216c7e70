// Bonds between nuclei, harmless, then warning, then deadly.
#pragma once
#include <array>
#include <memory>

#include "atom/nucleus.h"
#include "engine/sound.h"
#include "entity/list.h"

struct bond;
inline KindList<bond> bond_list;

struct bond : Kind<bond, bond_list> {
    std::shared_ptr<nuc> nuc1, nuc2;
};

inline std::array<std::array<int, 9>, 9> bnds{};
inline int bondact = 2;
inline Channel chn_bond;

void UpdateBonds();
void RenderBonds();
