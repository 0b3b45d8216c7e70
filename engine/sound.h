// Sound effects: load once, start and forget, stop the one looping channel.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/wave.h"

struct TSound {
    std::string path; // as loaded, such as "sound/loop.wav"
    bool loop = false;
    std::shared_ptr<const Wave> wave; // shared by every name of the same file
};
using Sound = std::shared_ptr<TSound>;

struct TChannel {
    uint64_t voice = 0; // the mixer's voice
};
using Channel = std::shared_ptr<TChannel>;

// Nothing when the file is missing or not an accepted wave file; any non-zero flags make the
// sound loop. A file already loaded (under any name or link) is decoded once.
Sound LoadSound(const std::string& path, int flags = 0);
// Later loads read their files again (the files may have changed since).
void ForgetSoundFiles();
// Once no voice plays (MixerReset), lets go of every loaded sound (tests and fuzzing).
void UnloadSounds();
// A new channel playing the sound from its start, overlapping any other; nothing for no sound.
Channel PlaySound(const Sound& sound);
// Stops the channel at once; its voice is freed.
void StopChannel(const Channel& channel);

// The player's controls: every sound held where it is (a pause) or going on, and the volume of
// every effect in tenths (10, as recorded; 0, silence).
void PauseSounds(bool paused);
void SetEffectsVolume(int tenths);

// The paths of the sounds started since the last call, oldest first (for traces), once
// tracking is on; nothing is kept otherwise.
void TrackStartedSounds(bool on);
std::vector<std::string> TakeStartedSounds();
