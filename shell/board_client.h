// Sending finished games to a shared score board (koravel-board) in the background: a game
// over hands the run's recording so far to a thread of its own, so no frame ever waits on the
// network, and one line says how it went. Nothing is lost when it fails: the player's own
// recordings are kept as always.
#pragma once
#include <cstdint>
#include <string>

// Whether `url` is a board's address (http://HOST:PORT); if not, why.
bool IsBoardAddress(const std::string& url, std::string& error);
// From now on, every game over is submitted to the board at `url` (http://HOST:PORT).
// False, with the reason, when the address is not one.
bool SubmitGamesTo(const std::string& url, std::string& error);
// Waits for the submissions still on their way (at the end of the program).
void FinishSubmissions();

// An attempt at the day's field that the board issued: its seed, and the token the recording
// carries so that the board can rank the game it brings back.
struct DailyAttempt {
    std::string token;
    std::string date; // YYYY-MM-DD, UTC
    int64_t seed = 0;
};
// Asks the board at `url` for an attempt at today's field (a few seconds at most). False, with
// the reason in a few words, when the address is not one or the board gave none.
bool FetchDailyAttempt(const std::string& url, DailyAttempt& out, std::string& error);
