// One line of the score table, as the score file, recordings and the board all hold it.
#pragma once
#include <algorithm>
#include <string>

struct ScoreEntry {
    int score = 0, level = 0;
    std::string name;
    bool operator==(const ScoreEntry&) const = default;
};

// What the initials entry lets a player make: up to three of A to Z, '.' and ' '.
inline bool EnterableName(const std::string& name) {
    return name.size() <= 3 && std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || c == '.' || c == ' ';
           });
}
