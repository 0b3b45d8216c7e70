// A recorded game played back, the same way by the game and by koravel-sim.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "format/recording.h"

// Sets the run up to play the recording: its seed, the score table it started with, its events
// at their polls, and its checkpoints compared as it plays (the first that differs goes to
// departed). A recording of other rules would play out as another game: it is refused (false,
// error says why) unless anyRules, which re-recording the golden replays needs.
bool PlayRecording(const Recording& recording, bool anyRules, std::string& error,
                   std::function<void(int64_t frame)> departed);
// The line that says a replay departed from its recording.
std::string DepartureMessage(int64_t frame);
