// The wave reader on arbitrary bytes, and the loader on the same file under many names (as a
// hostile data folder links one file at every sound's name): each file is decoded once, and
// nothing decoded is larger than the cap.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/mixer.h"
#include "engine/sound.h"
#include "engine/wave.h"
#include "tests/temp_dir.h"

namespace {

const std::filesystem::path& Folder() {
    // Removed when the process ends (an atexit handler registered here would run after the
    // path itself is gone, and remove nothing).
    static const std::filesystem::path folder = [] {
        auto f = PrivateFolder("fuzz_wave");
        for (int i = 0; i < 4; ++i)
            std::filesystem::create_symlink(f / "one.wav",
                                            f / ("name" + std::to_string(i) + ".wav"));
        return f;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto w = DecodeWave(data, size);
    if (w && w->samples.size() != size_t(w->frames) * size_t(w->channels)) __builtin_trap();
    if (w && w->samples.size() * sizeof(int16_t) > kMaxWaveSamplesBytes) __builtin_trap();

    // A new file each time, reached through four links.
    MixerReset();
    UnloadSounds();
    const auto file = Folder() / "one.wav";
    std::filesystem::remove(file);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(data), long(size));
    Sound first = LoadSound((Folder() / "name0.wav").string());
    for (int i = 1; i < 4; ++i) {
        Sound again = LoadSound((Folder() / ("name" + std::to_string(i) + ".wav")).string(), i & 1);
        if (bool(again) != bool(first) || (first && again->wave != first->wave)) __builtin_trap();
    }
    if (bool(first) != bool(w)) __builtin_trap();
    return 0;
}
