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

std::optional<Wave> DecodeWave(const uint8_t* data, size_t size);
std::optional<Wave> LoadWaveFile(const std::string& path);
