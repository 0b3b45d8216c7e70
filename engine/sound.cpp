#include "engine/sound.h"

#include <map>
#include <utility>

#include "engine/files.h"

#include "engine/mixer.h"

namespace {
bool tracking = false;
std::vector<std::string> started;
// Loaded sounds are kept for the whole run: the mixer plays straight from their samples.
std::vector<Sound> loaded;
std::map<FileId, std::shared_ptr<const Wave>> waves; // by the file they were read from
} // namespace

Sound LoadSound(const std::string& path, int flags) {
    const auto id = IdentifyFile(path);
    if (!id) return nullptr;
    // A file is read and decoded once, however many names lead to it; one refused stays so.
    auto [it, isNew] = waves.try_emplace(*id);
    if (isNew)
        if (auto decoded = LoadWaveFile(path))
            it->second = std::make_shared<const Wave>(std::move(*decoded));
    if (!it->second) return nullptr;
    auto sound = std::make_shared<TSound>();
    sound->path = path;
    sound->loop = flags != 0;
    sound->wave = it->second;
    loaded.push_back(sound);
    return sound;
}

void ForgetSoundFiles() { waves.clear(); }

void UnloadSounds() {
    waves.clear();
    loaded.clear();
}

Channel PlaySound(const Sound& sound) {
    if (!sound) return nullptr;
    if (tracking) started.push_back(sound->path);
    auto channel = std::make_shared<TChannel>();
    channel->voice = MixerStart(sound->wave.get(), sound->loop);
    return channel;
}

void StopChannel(const Channel& channel) {
    if (channel) MixerStop(channel->voice);
}

void TrackStartedSounds(bool on) { tracking = on; }

std::vector<std::string> TakeStartedSounds() { return std::exchange(started, {}); }

void PauseSounds(bool paused) { MixerPause(paused); }
void SetEffectsVolume(int tenths) { MixerGain(tenths); }
