#include "atom/bond.h"

#include <cmath>

#include "engine/graphics.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/sounds.h"
#include "state/world.h"

namespace {

void StopHum() {
    World& world = CurrentWorld();
    if (!world.field.chn_bond) return;
    StopChannel(world.field.chn_bond);
    world.field.chn_bond = nullptr;
}

// Starts the hum afresh, or only when none is playing.
void Hum(const Sound& sound, bool restart) {
    World& world = CurrentWorld();
    if (restart) StopHum();
    if (!world.field.chn_bond) world.field.chn_bond = PlaySound(sound);
}

} // namespace

void CreateBonds(const std::shared_ptr<nuc>& a, const std::shared_ptr<nuc>& b) {
    auto bd = New<bond>();
    bd->nuc1 = a;
    bd->nuc2 = b;
}

void UpdateBonds() {
    World& world = CurrentWorld();
    for (int i = 0; i <= 6; ++i) {
        const auto& a = world.field.nucs[size_t(i)];
        if (a->active != kNucBonding) continue;
        for (int j = i + 1; j <= 7; ++j) {
            const auto& b = world.field.nucs[size_t(j)];
            if (b->active == kNucBonding && world.field.bnds[size_t(i)][size_t(j)] == 0 &&
                std::fabs(a->x - b->x) < 10 && std::fabs(a->y - b->y) < 10) {
                world.field.bnds[size_t(i)][size_t(j)] = 1;
                CreateBonds(a, b);
            }
        }
    }
    world.field.bondsalive = 0;
    for (auto& bd : world.bond_list) {
        if (bd.nuc1->active == kSlotFree || bd.nuc2->active == kSlotFree) {
            world.field.bnds[size_t(bd.nuc1->slot)][size_t(bd.nuc2->slot)] = 0;
            bd.Remove();
        }
        world.field.bondsalive++; // a bond removed now still counts for this frame
    }
    world.field.bcount = world.field.bcount + 1.0f;
    if (world.field.bcount > world.difficulty.bcountmax) {
        world.field.bcount = 0;
        world.field.bondact = kBondsHarmless;
    }
    if (world.field.bcount > float(world.difficulty.bcountwarn))
        world.field.bondact = kBondsWarning;
    if (world.field.bcount >= float(world.difficulty.bcountdead))
        world.field.bondact = kBondsDeadly;
    if (world.field.chn_bond && world.field.bondsalive == 0) StopHum();
}

void RenderBonds() {
    World& world = CurrentWorld();
    if (world.field.bondsalive == 0) return;
    if (world.field.bondact == kBondsDeadly) {
        Hum(world.sfx.snd_bond1, world.field.bcount == float(world.difficulty.bcountdead));
        SetColor(255, 0, 0);
    } else if (world.field.bondact == kBondsWarning) {
        Hum(world.sfx.snd_bond2, std::fmod(world.field.bcount, 10.0f) == 0);
        static const int colours[3][3] = {{0, 255, 0}, {255, 255, 0}, {255, 255, 255}};
        const int k = int(world.field.bcount / 10) % 3;
        SetColor(colours[k][0], colours[k][1], colours[k][2]);
    } else {
        SetColor(0, 0, 255);
        StopHum();
    }
    for (const auto& bd : world.bond_list) DrawLine(bd.nuc1->x, bd.nuc1->y, bd.nuc2->x, bd.nuc2->y);
}
