// PCM wave files: RIFF/WAVE with a "fmt " chunk, 8 or 16 bits, mono or stereo.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Wave {
    int rate = 0;
    int channels = 0;
    int bits = 0;
    int64_t frames = 0;
    std::vector<int16_t> samples; // interleaved, host order; 8-bit data is widened
};

// Effects last seconds: a file over 16 MiB, or one whose samples take more than 16 MiB once
// decoded (8-bit data doubles; about 95 s of 44.1 kHz stereo), is refused, so hostile sound
// files cannot take the memory.
constexpr size_t kMaxWaveFileBytes = 16u * 1024 * 1024;
constexpr size_t kMaxWaveSamplesBytes = 16u * 1024 * 1024;

std::optional<Wave> DecodeWave(const uint8_t* data, size_t size);
std::optional<Wave> LoadWaveFile(const std::string& path);
