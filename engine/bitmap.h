// Windows bitmap reader: 1, 4, 8, 24 and 32 bits per pixel, uncompressed.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0xAARRGGBB, top row first
};

// Decodes a whole file held in memory; nothing for anything malformed or truncated.
std::optional<Bitmap> DecodeBitmap(const uint8_t* data, size_t size);
std::optional<Bitmap> LoadBitmapFile(const std::string& path);
