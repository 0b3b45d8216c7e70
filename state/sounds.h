// The game's sound effects, loaded once at start-up.
#pragma once
#include <string>
#include <vector>

#include "engine/sound.h"

// The game's sounds, bound at start-up.
struct SoundHandles {
    Sound snd_bounce, snd_photon, snd_killphoton, snd_killnuc, snd_killnuc2, snd_killtank,
        snd_killpuls, snd_killstar, snd_killmine, snd_killtail, snd_bonus, snd_death, snd_zoom,
        snd_bond1, snd_bond2, snd_split1, snd_split2, snd_split3, snd_split4, snd_mine, snd_pulsar,
        snd_loop;
};

// Loads all twenty-two handles in their fixed order; returns the files that did not load.
std::vector<std::string> LoadSounds();
