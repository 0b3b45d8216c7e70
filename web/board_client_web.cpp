// The browser build's way to a board: the same interface as the desktop's client, with the
// browser's fetch doing the sending, so no frame ever waits on it. The page names the board
// (KORAVEL_BOARD) when it is served by one, at /play.
#include <string>

#include "record/replay.h"
#include "shell/board_client.h"
#include "shell/mainloop.h"

// In engine/web/library_koravel.js: sends the recording with fetch, says how it went.
extern "C" void koravel_web_submit(const char* url, const char* recording, int score);

namespace {

std::string board;

} // namespace

bool IsBoardAddress(const std::string&, std::string&) { return true; } // the page's own origin

bool SubmitGamesTo(const std::string& url, std::string&) {
    board = url;
    OnGameOver([](const FinishedGame& game) {
        if (!IsRecording()) return;
        const std::string recording = RecordingOfFinishedGame();
        koravel_web_submit(board.c_str(), recording.c_str(), game.score);
    });
    return true;
}

void FinishSubmissions() {} // the browser finishes them on its own

// The page asks the board for the attempt itself and hands it over in KORAVEL_SEED and
// KORAVEL_ATTEMPT before the game starts.
bool FetchDailyAttempt(const std::string&, DailyAttempt&, std::string& error) {
    error = "the page fetches today's field itself (its button)";
    return false;
}
