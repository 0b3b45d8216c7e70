#include "engine/sound.h"

#include <utility>

#include "engine/files.h"

namespace {
std::vector<std::string> started;
}

Sound LoadSound(const std::string& path, int flags) {
    auto wave = LoadWaveFile(path);
    if (!wave) return nullptr;
    auto sound = std::make_shared<TSound>();
    sound->wave = std::move(*wave);
    sound->path = path;
    sound->loop = flags != 0;
    return sound;
}

Channel PlaySound(const Sound& sound) {
    if (!sound) return nullptr;
    started.push_back(sound->path);
    auto channel = std::make_shared<TChannel>();
    channel->sound = sound;
    return channel;
}

void StopChannel(const Channel& channel) {
    if (channel) channel->stopped = true;
}

std::vector<std::string> TakeStartedSounds() { return std::exchange(started, {}); }
