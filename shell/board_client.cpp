#include "shell/board_client.h"

#include <cstdio>
#include <httplib.h>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "record/replay.h"
#include "shell/mainloop.h"

namespace {

std::string board;
std::mutex pendingMutex;
std::vector<std::thread> pending;

// One submission, retried while the board is busy (429), at most a few times.
void Submit(const std::string& recording, int score) {
    httplib::Client client(board);
    client.set_connection_timeout(5);
    client.set_read_timeout(120);
    std::string line;
    for (int attempt = 0; attempt < 20; ++attempt) {
        const auto res = client.Post("/api/games?game=last", recording, "application/octet-stream");
        if (!res) {
            line = "the board at " + board + " could not be reached (" +
                   httplib::to_string(res.error()) + ")";
            break;
        }
        if (res->status == 429) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500 * (attempt + 1)));
            continue;
        }
        const auto body = nlohmann::json::parse(res->body, nullptr, false);
        if (res->status == 200 || res->status == 201) {
            const std::string name = body.is_object() ? body.value("name", std::string()) : "";
            line = "the board has your game of " + std::to_string(score) + " points" +
                   (name.empty() ? "" : " as " + name) +
                   (body.is_object() ? " (game " + std::to_string(body.value("id", 0)) + ")" : "");
        } else {
            line = "the board refused the game: " +
                   (body.is_object()
                        ? body.value("error", std::string("status ") + std::to_string(res->status))
                        : "status " + std::to_string(res->status));
        }
        break;
    }
    if (line.empty()) line = "the board stayed busy; the game was not sent";
    std::fprintf(stderr, "koravel: %s\n", line.c_str());
}

} // namespace

bool SubmitGamesTo(const std::string& url, std::string& error) {
    const bool http = url.rfind("http://", 0) == 0 && url.size() > 7;
    if (!http || url.find_first_of(" \t\r\n", 0) != std::string::npos ||
        url.find('/', 7) != std::string::npos) {
        error = "the board's address must be http://HOST:PORT, not '" + url + "'";
        return false;
    }
    board = url;
    OnGameOver([](const FinishedGame& game) {
        if (!IsRecording()) return;
        std::string recording = RecordingOfFinishedGame();
        std::lock_guard lock(pendingMutex);
        pending.emplace_back(Submit, std::move(recording), game.score);
    });
    return true;
}

void FinishSubmissions() {
    std::lock_guard lock(pendingMutex);
    for (std::thread& t : pending) t.join();
    pending.clear();
}
