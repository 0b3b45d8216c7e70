#include "atom/bond.h"

#include <cmath>

#include "atom/level.h"
#include "engine/graphics.h"
#include "shell/sounds.h"

namespace {

void StopHum() {
    if (!chn_bond) return;
    StopChannel(chn_bond);
    chn_bond = nullptr;
}

// Starts the hum afresh, or only when none is playing.
void Hum(const Sound& sound, bool restart) {
    if (restart) StopHum();
    if (!chn_bond) chn_bond = PlaySound(sound);
}

} // namespace

void CreateBonds(const std::shared_ptr<nuc>& a, const std::shared_ptr<nuc>& b) {
    auto bd = New<bond>();
    bd->nuc1 = a;
    bd->nuc2 = b;
}

void UpdateBonds() {
    for (int i = 0; i <= 6; ++i) {
        const auto& a = nucs[size_t(i)];
        if (a->active <= 1) continue;
        for (int j = i + 1; j <= 7; ++j) {
            const auto& b = nucs[size_t(j)];
            if (b->active > 1 && bnds[size_t(i)][size_t(j)] == 0 && std::fabs(a->x - b->x) < 10 &&
                std::fabs(a->y - b->y) < 10) {
                bnds[size_t(i)][size_t(j)] = 1;
                CreateBonds(a, b);
            }
        }
    }
    bondsalive = 0;
    for (auto& bd : bond_list) {
        if (bd.nuc1->active == 0 || bd.nuc2->active == 0) {
            bnds[size_t(bd.nuc1->slot)][size_t(bd.nuc2->slot)] = 0;
            bd.Remove();
        }
        bondsalive++; // a bond removed now still counts for this frame
    }
    bcount = bcount + 1.0f;
    if (bcount > bcountmax) {
        bcount = 0;
        bondact = 2;
    }
    if (bcount > float(bcountwarn)) bondact = 1;
    if (bcount >= float(bcountdead)) bondact = 0;
    if (chn_bond && bondsalive == 0) StopHum();
}

void RenderBonds() {
    if (bondsalive == 0) return;
    if (bondact == 0) {
        Hum(snd_bond1, bcount == float(bcountdead));
        SetColor(255, 0, 0);
    } else if (bondact == 1) {
        Hum(snd_bond2, std::fmod(bcount, 10.0f) == 0);
        static const int colours[3][3] = {{0, 255, 0}, {255, 255, 0}, {255, 255, 255}};
        const int k = int(bcount / 10) % 3;
        SetColor(colours[k][0], colours[k][1], colours[k][2]);
    } else {
        SetColor(0, 0, 255);
        StopHum();
    }
    for (const auto& bd : bond_list) DrawLine(bd.nuc1->x, bd.nuc1->y, bd.nuc2->x, bd.nuc2->y);
}
