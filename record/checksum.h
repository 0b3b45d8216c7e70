// A recording's proof of meaning: the game's state summed at a frame, so that a replay which
// plays out differently (other rules, an altered file) is caught where it departs.
#pragma once
#include <cstdint>

// Everything the trace shows, every entity's place, the generator's state and the count of
// input polls (one more query in the loop moves every later recorded event).
uint64_t StateChecksum();
