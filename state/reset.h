// Every owner of the game's state back to its values at program start, at once.
#pragma once

void ResetGameState();
