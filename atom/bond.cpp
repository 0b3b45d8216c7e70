#include "atom/bond.h"

#include <cmath>

#include "engine/graphics.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/sounds.h"

namespace {

void StopHum() {
    if (!field.chn_bond) return;
    StopChannel(field.chn_bond);
    field.chn_bond = nullptr;
}

// Starts the hum afresh, or only when none is playing.
void Hum(const Sound& sound, bool restart) {
    if (restart) StopHum();
    if (!field.chn_bond) field.chn_bond = PlaySound(sound);
}

} // namespace

void CreateBonds(const std::shared_ptr<nuc>& a, const std::shared_ptr<nuc>& b) {
    auto bd = New<bond>();
    bd->nuc1 = a;
    bd->nuc2 = b;
}

void UpdateBonds() {
    for (int i = 0; i <= 6; ++i) {
        const auto& a = field.nucs[size_t(i)];
        if (a->active != kNucBonding) continue;
        for (int j = i + 1; j <= 7; ++j) {
            const auto& b = field.nucs[size_t(j)];
            if (b->active == kNucBonding && field.bnds[size_t(i)][size_t(j)] == 0 &&
                std::fabs(a->x - b->x) < 10 && std::fabs(a->y - b->y) < 10) {
                field.bnds[size_t(i)][size_t(j)] = 1;
                CreateBonds(a, b);
            }
        }
    }
    field.bondsalive = 0;
    for (auto& bd : bond_list) {
        if (bd.nuc1->active == kSlotFree || bd.nuc2->active == kSlotFree) {
            field.bnds[size_t(bd.nuc1->slot)][size_t(bd.nuc2->slot)] = 0;
            bd.Remove();
        }
        field.bondsalive++; // a bond removed now still counts for this frame
    }
    field.bcount = field.bcount + 1.0f;
    if (field.bcount > difficulty.bcountmax) {
        field.bcount = 0;
        field.bondact = kBondsHarmless;
    }
    if (field.bcount > float(difficulty.bcountwarn)) field.bondact = kBondsWarning;
    if (field.bcount >= float(difficulty.bcountdead)) field.bondact = kBondsDeadly;
    if (field.chn_bond && field.bondsalive == 0) StopHum();
}

void RenderBonds() {
    if (field.bondsalive == 0) return;
    if (field.bondact == kBondsDeadly) {
        Hum(sfx.snd_bond1, field.bcount == float(difficulty.bcountdead));
        SetColor(255, 0, 0);
    } else if (field.bondact == kBondsWarning) {
        Hum(sfx.snd_bond2, std::fmod(field.bcount, 10.0f) == 0);
        static const int colours[3][3] = {{0, 255, 0}, {255, 255, 0}, {255, 255, 255}};
        const int k = int(field.bcount / 10) % 3;
        SetColor(colours[k][0], colours[k][1], colours[k][2]);
    } else {
        SetColor(0, 0, 255);
        StopHum();
    }
    for (const auto& bd : bond_list) DrawLine(bd.nuc1->x, bd.nuc1->y, bd.nuc2->x, bd.nuc2->y);
}
