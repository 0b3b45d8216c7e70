// The field of play: the nuclei's slots and bonds, what is alive, the timers of the level, and
// the field's geometry (where things start, how they bounce, what a catch pays).
#pragma once
#include <array>
#include <memory>

#include "engine/sound.h"

struct nuc;

// A nucleus slot: free, or a nucleus alive (from level 10 one able to bond).
enum NucActive { kSlotFree = 0, kNucAlive = 1, kNucBonding = 2 };
// What the bonds do to a trail that crosses them, in the order their countdown runs.
enum BondAct { kBondsDeadly = 0, kBondsWarning = 1, kBondsHarmless = 2 };

struct FieldState {
    std::array<std::shared_ptr<nuc>, 9> nucs; // slots 0..7; made once at start-up
    std::array<std::array<int, 9>, 9> bnds{};
    float bcount = 0;
    BondAct bondact = kBondsHarmless;
    int bondsalive = 0;
    Channel chn_bond;
    int nucsalive = 0;
    int elecsalive = 0;
    int fragsalive = 0;
    int starsalive = 0;
    int startimer = 0;
    int phtimer = 0;
    // The photon launcher's wait: the level's at its start and after a life lost, one frame
    // shorter at every launch cycle; a new level's first countdown starts from what is left.
    int phcreatewait = 0;
    int phcol = 0; // red, green, blue in turn, shared by all photons

    // Bonds harmless again, their count from zero: a new level, a life lost.
    void ResetBonds() {
        bcount = 0;
        bondact = kBondsHarmless;
    }
    // No star alive, the next split a whole wait away.
    void ResetStars(int splitWait) {
        starsalive = 0;
        startimer = splitWait;
    }
    // A new level's field: no bonds between the slots, and the timers wound.
    void NewLevel(int splitWait) {
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 8; ++j) bnds[size_t(i)][size_t(j)] = 0;
        ResetBonds();
        ResetStars(splitWait);
        phtimer = phcreatewait + 10;
    }
    // Everything but the nuclei's slots, which live as long as the program.
    void Reset() {
        const auto slots = nucs;
        *this = FieldState{};
        nucs = slots;
    }
};

// A place 50 to 275 pixels left or right of the centre column and 50 to 235 above or below the
// centre row; the side of greater coordinates is taken 40 % of the time.
void PlaceOffCentre(float& px, float& py);
// A speed between low and high on each axis, each negative 60 % of the time.
void RandomVelocity(float& dx, float& dy, double low, double high);
// Bounce off the edges of 120 <= x < 680 and 60 <= y < 540: the velocity turns and the step is
// taken back once. Each returns whether it bounced.
bool BounceX(float& px, float& dx);
bool BounceY(float& py, float& dy);
// What a capture pays: doubled when the loop caught more than one particle.
int Award(int points);
