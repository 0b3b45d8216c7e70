// Bonds between nuclei, harmless, then warning, then deadly.
#pragma once
#include <array>
#include <memory>

#include "atom/nucleus.h"
#include "entity/list.h"

struct bond;
template <> KindList<bond>& ListOf<bond>(); // the World holds it

struct bond : Kind<bond> {
    std::shared_ptr<nuc> nuc1; // the lower slot
    std::shared_ptr<nuc> nuc2;
};

void CreateBonds(const std::shared_ptr<nuc>& a, const std::shared_ptr<nuc>& b);
void UpdateBonds();
void RenderBonds();
