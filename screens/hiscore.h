// The ten best scores: loaded at start-up, extended after a game, saved when the program ends.
#pragma once
#include <array>
#include <string>

inline std::array<int, 11> scores{};
inline std::array<int, 11> levels{};
inline std::array<std::string, 11> names;
inline int letterselected = -9999;

inline const char* const kScoreFile = "scores/hiscores.dat";

// Where the table is kept: "scores/hiscores.dat" beside the game, or, when that folder cannot be
// written, koravel/scores/hiscores.dat in the user's data folder.
std::string ScoreFilePath();
// An installed game keeps its table in the user's data folder.
inline bool scores_in_user_folder = false;
// While a recorded game is watched nothing is saved.
inline bool scores_frozen = false;

void LoadScores();
// Returns false when the table could not be written (the old file is then left as it was).
bool SaveScores();
void HighScore();
// Where a score enters the table (0..9), or 10 when it does not rank.
int ScorePosition(int newScore);
