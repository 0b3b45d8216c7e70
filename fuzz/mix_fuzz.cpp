// A decoded wave mixed as the game mixes it: looping or not, at any output rate. The first
// bytes choose how; the rest is the file. A wave shorter than one resampling step once read
// past its samples here.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/mixer.h"
#include "engine/wave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const bool loop = data[0] & 1;
    const int rate = 1 + int((uint32_t(data[1]) << 8 | data[2]) * 4); // 1 Hz to 262 kHz
    const int frames = 1 + data[3] * 16;
    auto wave = DecodeWave(data + 4, size - 4);
    if (!wave) return 0;
    MixerReset();
    MixerStart(&*wave, loop);
    MixerStart(&*wave, !loop);
    std::vector<int16_t> out(size_t(frames) * 2);
    for (int pass = 0; pass < 3; ++pass) MixerRender(out.data(), frames, rate);
    MixerReset(); // the wave goes out of scope: no voice may keep it
    return 0;
}
