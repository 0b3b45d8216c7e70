// The wave reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "engine/wave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto w = DecodeWave(data, size);
    if (w && w->samples.size() != size_t(w->frames) * size_t(w->channels)) __builtin_trap();
    return 0;
}
