// The ten best scores: loaded at start-up, extended after a game, saved when the program ends.
#pragma once
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "format/score_entry.h"
#include "state/scores.h"

// Where the program lets the table be read and saved: its choice, not the game's state.
struct ScoreFiles {
    // An installed game keeps its table in the user's data folder.
    bool scores_in_user_folder = false;
    // Only the table beside the game is read and saved (koravel-sim on a folder of its own).
    bool scores_beside_game_only = false;
    // While a recorded game is watched nothing is saved.
    bool scores_frozen = false;

    void Reset() { *this = ScoreFiles{}; }
};
inline ScoreFiles scorefiles;

inline const char* const kScoreFile = "scores/hiscores.dat";

// Where the table is saved: "scores/hiscores.dat" beside the game, or, when that folder cannot
// be written, koravel/scores/hiscores.dat in the user's data folder.
std::string ScoreFilePath();

// Every table found (beside the game, in the user's folder) merged into the ten best. A table
// that exists but cannot be read is reported in one line and never saved over; a link at its
// name is reported, not read, and replaced by the next save.
void LoadScores();
// The table a recorded game started with.
void ReplaceScores(const std::vector<ScoreEntry>& table);
// Adds the entries made since the table was read to the file as it is now (another game may
// have saved meanwhile). When the table beside the game cannot be written it goes to the
// user's folder, said in one line. Returns false, having said why in one line, when it could
// not be written anywhere (the old file is then left as it was).
bool SaveScores();
void HighScore();
// Where a score enters the table (0..9), or 10 when it does not rank.
int ScorePosition(int newScore);
