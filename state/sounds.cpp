#include "state/sounds.h"
#include "state/world.h"

#include <algorithm>

std::vector<std::string> LoadSounds() {
    World& world = CurrentWorld();
    struct Entry {
        Sound* handle;
        const char* file;
        int loop;
    };
    const Entry table[] = {
        {&world.sfx.snd_bounce, "sound/bounce.wav", 0},
        {&world.sfx.snd_photon, "sound/photon.wav", 0},
        {&world.sfx.snd_killphoton, "sound/killph.wav", 0},
        {&world.sfx.snd_killnuc, "sound/killnuc.wav", 0},
        {&world.sfx.snd_killnuc2, "sound/killnuc2.wav", 0},
        {&world.sfx.snd_killtank, "sound/killstar.wav", 0},
        {&world.sfx.snd_killpuls, "sound/killstar.wav", 0},
        {&world.sfx.snd_killstar, "sound/killstar.wav", 0},
        {&world.sfx.snd_killmine, "sound/killstar.wav", 0},
        {&world.sfx.snd_killtail, "sound/killtail.wav", 0},
        {&world.sfx.snd_bonus, "sound/bonus.wav", 0},
        {&world.sfx.snd_death, "sound/death.wav", 0},
        {&world.sfx.snd_zoom, "sound/zoom.wav", 0},
        {&world.sfx.snd_bond1, "sound/bond.wav", 1},
        {&world.sfx.snd_bond2, "sound/bond.wav", 1},
        {&world.sfx.snd_split1, "sound/splitter1.wav", 0},
        {&world.sfx.snd_split2, "sound/splitter2.wav", 0},
        {&world.sfx.snd_split3, "sound/splitter3.wav", 0},
        {&world.sfx.snd_split4, "sound/splitter4.wav", 0},
        {&world.sfx.snd_mine, "sound/mine.wav", 0},
        {&world.sfx.snd_pulsar, "sound/pulsar.wav", 0},
        {&world.sfx.snd_loop, "sound/loop.wav", 0},
    };
    std::vector<std::string> missing;
    ForgetSoundFiles(); // within one loading, a file named twice is decoded once
    for (const Entry& e : table) {
        *e.handle = LoadSound(e.file, e.loop);
        if (!*e.handle && std::find(missing.begin(), missing.end(), e.file) == missing.end())
            missing.push_back(e.file);
    }
    return missing;
}
