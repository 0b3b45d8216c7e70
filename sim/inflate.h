// gzip-compressed recordings, inflated with a cap so that a small bomb cannot fill memory.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

bool LooksGzipped(const std::vector<uint8_t>& bytes);
// The inflated bytes, or nothing when the data is not whole gzip or inflates beyond `max`.
std::optional<std::vector<uint8_t>> Gunzip(const std::vector<uint8_t>& bytes, size_t max);
