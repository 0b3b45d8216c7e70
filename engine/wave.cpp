#include "engine/wave.h"

#include <cstring>

#include "engine/files.h"

namespace {

uint32_t U16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t U32(const uint8_t* p) { return U16(p) | U16(p + 2) << 16; }
bool Tag(const uint8_t* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

} // namespace

std::optional<Wave> DecodeWave(const uint8_t* data, size_t size) {
    if (!data || size < 20 || !Tag(data, "RIFF") || !Tag(data + 8, "WAVE") ||
        !Tag(data + 12, "fmt "))
        return std::nullopt;
    const uint64_t fmtLength = U32(data + 16);
    if (fmtLength < 16 || fmtLength > size - 20) return std::nullopt;
    const uint8_t* fmt = data + 20;
    Wave w;
    const uint32_t tag = U16(fmt);
    w.channels = int(U16(fmt + 2));
    const uint32_t rate = U32(fmt + 4);
    w.bits = int(U16(fmt + 14));
    if (tag != 1 || (w.channels != 1 && w.channels != 2) || (w.bits != 8 && w.bits != 16) ||
        rate == 0 || rate > 384000)
        return std::nullopt;
    w.rate = int(rate);
    // Chunks follow; an odd-length chunk is followed by one pad byte.
    uint64_t at = 20 + fmtLength + (fmtLength & 1);
    while (at + 8 <= size) {
        const uint8_t* chunk = data + at;
        const uint64_t length = U32(chunk + 4);
        at += 8;
        if (Tag(chunk, "data")) {
            if (length > size - at) return std::nullopt; // truncated
            const int bytesPerFrame = w.channels * w.bits / 8;
            w.frames = int64_t(length / uint64_t(bytesPerFrame));
            const size_t count = size_t(w.frames) * size_t(w.channels);
            if (count * sizeof(int16_t) > kMaxWaveSamplesBytes) return std::nullopt;
            w.samples.resize(count);
            const uint8_t* src = data + at;
            for (size_t i = 0; i < count; ++i)
                w.samples[i] = w.bits == 8 ? int16_t((int(src[i]) - 128) << 8)
                                           : int16_t(uint16_t(U16(src + 2 * i)));
            return w;
        }
        at += length + (length & 1);
    }
    return std::nullopt;
}

std::optional<Wave> LoadWaveFile(const std::string& path) {
    auto bytes = ReadWholeFile(path, kMaxWaveFileBytes);
    if (!bytes) return std::nullopt;
    return DecodeWave(bytes->data(), bytes->size());
}
