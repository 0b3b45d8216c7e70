// Sound effects: load once, start and forget, stop the one looping channel.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "engine/wave.h"

struct TSound {
    std::string path; // as loaded, such as "sound/loop.wav"
    bool loop = false;
    Wave wave;
};
using Sound = std::shared_ptr<TSound>;

struct TChannel {
    Sound sound;
    bool stopped = false;
};
using Channel = std::shared_ptr<TChannel>;

// Nothing when the file is missing or not an accepted wave file; any non-zero flags make the sound
// loop.
Sound LoadSound(const std::string& path, int flags = 0);
// A new channel playing the sound from its start, or nothing for no sound.
Channel PlaySound(const Sound& sound);
void StopChannel(const Channel& channel);

// The paths of the sounds started since the last call, oldest first (for koravel-sim's trace).
std::vector<std::string> TakeStartedSounds();
