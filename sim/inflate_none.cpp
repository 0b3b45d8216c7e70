// Builds without zlib (WebAssembly) read recordings only as the game writes them.
#include "sim/inflate.h"

bool LooksGzipped(const std::vector<uint8_t>&) { return false; }
std::optional<std::vector<uint8_t>> Gunzip(const std::vector<uint8_t>&, size_t) {
    return std::nullopt;
}
