// One JSON object per presented frame: what the player sees, in numbers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

std::string TraceLine(uint64_t frame, int64_t ms, bool entities,
                      const std::vector<std::string>& sounds);
// Text as the inside of a JSON string: quotes, backslashes and control characters escaped.
std::string JsonEscaped(const std::string& text);
