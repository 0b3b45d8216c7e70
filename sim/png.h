#pragma once
#include <cstdint>
#include <string>

// Writes an 800 x 600 0x00RRGGBB picture as an RGB PNG; false on failure.
bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height);
