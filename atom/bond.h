// Bonds between nuclei, harmless, then warning, then deadly.
#pragma once
#include <array>
#include <memory>

#include "atom/nucleus.h"
#include "engine/sound.h"
#include "entity/list.h"

struct bond : Kind<bond> {
    static constexpr bool kJoinsList = true;
    static KindList<bond>& List();
    std::shared_ptr<nuc> nuc1, nuc2;
};
inline KindList<bond> bond_list;
inline KindList<bond>& bond::List() { return bond_list; }

inline std::array<std::array<int, 9>, 9> bnds{};
inline int bondact = 2;
inline Channel chn_bond;

void UpdateBonds();
void RenderBonds();
