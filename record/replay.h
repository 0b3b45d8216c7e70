// Every run records its input, so that any game can be watched again or replayed exactly.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "format/recording.h"

// From now on, every input event delivered is kept, stamped with its frame and poll, and the
// game's state is summed every kCheckpointFrames frames.
void StartRecording(int64_t seed);
// What the recordings of this run say of their origin (a board's attempt, a machine at the
// controls); set before StartRecording.
void RecordOrigin(const RecordingOrigin& origin);
bool IsRecording();
// The run so far as a recording that ends after the given number of presented frames.
std::string RecordingText(uint64_t endFrame);
// At a game over (its initials entered): the run so far, ending one frame past now, since a
// replay stops on its last frame and must get past the game's end first.
std::string RecordingOfFinishedGame();
// Only the real game keeps its games in the user's folder; koravel-sim writes what it is told.
inline bool keep_game_recordings = false;
// At start-up of the real game: removes what killed saves left in the recordings' folder, or
// says in one line that there is no folder to record to (false).
bool PrepareRecordingsFolder();
// At the end of a game: the run up to here goes to koravel/replays/last.kvr in the user's data
// folder, and to best.kvr too when no recorded game scored more.
void SaveGameRecordings(int finalScore);
// While a recording plays: its checkpoints compared as the frames come. The first that differs
// goes to departed with its frame, and nothing more is compared.
void CheckAgainst(std::vector<Checkpoint> checks, std::function<void(int64_t frame)> departed);
