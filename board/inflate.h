// gzip-compressed bodies, inflated with a cap so that a small bomb cannot fill memory.
#pragma once
#include <optional>
#include <string>

bool LooksGzipped(const std::string& bytes);
// The inflated bytes, or nothing when the data is not whole gzip or inflates beyond `max`.
std::optional<std::string> Gunzip(const std::string& bytes, size_t max);
