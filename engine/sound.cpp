#include "engine/sound.h"

#include <utility>

#include "engine/mixer.h"

namespace {
bool tracking = false;
std::vector<std::string> started;
// Loaded sounds are kept for the whole run: the mixer plays straight from their samples.
std::vector<Sound> loaded;
} // namespace

Sound LoadSound(const std::string& path, int flags) {
    auto wave = LoadWaveFile(path);
    if (!wave) return nullptr;
    auto sound = std::make_shared<TSound>();
    sound->path = path;
    sound->loop = flags != 0;
    sound->wave = std::move(*wave);
    loaded.push_back(sound);
    return sound;
}

Channel PlaySound(const Sound& sound) {
    if (!sound) return nullptr;
    if (tracking) started.push_back(sound->path);
    auto channel = std::make_shared<TChannel>();
    channel->voice = MixerStart(&sound->wave, sound->loop);
    return channel;
}

void StopChannel(const Channel& channel) {
    if (channel) MixerStop(channel->voice);
}

void TrackStartedSounds(bool on) { tracking = on; }

std::vector<std::string> TakeStartedSounds() { return std::exchange(started, {}); }
