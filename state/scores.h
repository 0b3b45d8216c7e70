// The ten best scores in memory (screens/hiscore reads and saves their file).
#pragma once
#include <array>
#include <string>

// Slot 10 takes the entry pushed off the bottom.
struct ScoreTable {
    std::array<int, 11> scores{};
    std::array<int, 11> levels{};
    std::array<std::string, 11> names;
};
