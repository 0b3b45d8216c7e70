// Sending finished games to a shared score board (koravel-board) in the background: a game
// over hands the run's recording so far to a thread of its own, so no frame ever waits on the
// network, and one line says how it went. Nothing is lost when it fails: the player's own
// recordings are kept as always.
#pragma once
#include <string>

// From now on, every game over is submitted to the board at `url` (http://HOST:PORT).
// False, with the reason, when the address is not one.
bool SubmitGamesTo(const std::string& url, std::string& error);
// Waits for the submissions still on their way (at the end of the program).
void FinishSubmissions();
