#pragma once
#include <cstdint>
#include <string>

// Writes 0x00RRGGBB pixels (rows of `stride` pixels) as a PNG: RGB, or RGBA with black as
// transparent. False on failure.
bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height, int stride,
              bool blackIsClear = false);
