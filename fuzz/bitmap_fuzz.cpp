// The bitmap reader on arbitrary bytes: it must refuse or decode, never read out of bounds.
#include <cstddef>
#include <cstdint>

#include "engine/bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto bmp = DecodeBitmap(data, size);
    if (bmp && bmp->pixels.size() != size_t(bmp->width) * size_t(bmp->height)) __builtin_trap();
    return 0;
}
