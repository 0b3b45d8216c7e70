// What makes a recorded game the game it is: the generator's seed as the generator keeps it,
// and the input events delivered up to its game over, each at its poll. Comments, the header's
// spelling, the score table, frame numbers and anything after the game over (the initials
// among them) are not part of it, so the same game sent twice in other words is one game.
#pragma once
#include <cstdint>
#include <string>

#include "format/recording.h"

// SHA-256 in hex of the game's canonical form; empty where no digest is built in.
std::string GameIdentity(const Recording& recording, uint64_t endPoll);
