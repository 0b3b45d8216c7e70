#include "shell/board_client.h"

#include <csignal>
#include <cstdio>
#include <httplib.h>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "format/recording.h"
#include "record/replay.h"
#include "shell/mainloop.h"

namespace {

std::string board;
std::mutex pendingMutex;
std::vector<std::thread> pending;

std::string StatusLine(int status, const nlohmann::json& body) {
    return "the board refused the game: " +
           (body.is_object() && body.contains("error") && body["error"].is_string()
                ? body["error"].get<std::string>()
                : "status " + std::to_string(status));
}

// What the board finally said of a game: stored (new or already there) or refused.
std::string Verdict(const nlohmann::json& sub, int score) {
    if (sub.value("state", std::string()) == "refused")
        return "the board refused the game: " + sub.value("error", std::string("no reason given"));
    const auto& game = sub.contains("stored") ? sub["stored"] : sub;
    const std::string name = game.is_object() ? game.value("name", std::string()) : "";
    // A game played under an attempt hears whether it made the day's table, and if not, why.
    std::string ranking;
    if (game.is_object() && game.value("ranked", false))
        ranking = ", ranked on the table of " + game.value("day", std::string());
    else if (game.is_object() && game.value("unrankedCode", std::string()) != "none" &&
             game.contains("unranked"))
        ranking = ", not ranked: " + game.value("unranked", std::string());
    return std::string(sub.value("new", true) ? "the board has your game of "
                                              : "the board already had your game of ") +
           std::to_string(score) + " points" + (name.empty() ? "" : " as " + name) + " (game " +
           std::to_string(sub.value("game", int64_t(0))) + ")" + ranking;
}

// One submission: sent (again while the board is busy, at most a few times), then followed
// until its verdict.
void Submit(const std::string& recording, int score) {
    httplib::Client client(board);
    client.set_connection_timeout(5);
    client.set_read_timeout(60);
    std::string line, location;
    for (int attempt = 0; attempt < 20 && line.empty() && location.empty(); ++attempt) {
        const auto res = client.Post("/api/games?game=last", recording, "application/octet-stream");
        if (!res) {
            line = "the board at " + board + " could not be reached (" +
                   httplib::to_string(res.error()) + ")";
        } else if (res->status == 429 || res->status == 503) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500 * (attempt + 1)));
        } else if (res->status == 202 && res->has_header("Location")) {
            location = res->get_header_value("Location");
        } else {
            line = StatusLine(res->status, nlohmann::json::parse(res->body, nullptr, false));
        }
    }
    // A verdict comes within seconds unless many games wait; ten minutes is plenty.
    for (int poll = 0; !location.empty() && line.empty() && poll < 1200; ++poll) {
        const auto res = client.Get(location);
        const auto body = res ? nlohmann::json::parse(res->body, nullptr, false) : nlohmann::json();
        const std::string state = body.is_object() ? body.value("state", std::string()) : "";
        if (res && res->status == 200 && (state == "stored" || state == "refused"))
            line = Verdict(body, score);
        else if (res && res->status != 200 && res->status != 503)
            line = StatusLine(res->status, body);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(poll < 20 ? 100 : 500));
    }
    if (line.empty())
        line = location.empty()
                   ? "the board stayed busy; the game was not sent"
                   : "the board has the game but gave no verdict yet; see " + board + location;
    std::fprintf(stderr, "koravel: %s\n", line.c_str());
}

} // namespace

bool IsBoardAddress(const std::string& url, std::string& error) {
    const bool http = url.rfind("http://", 0) == 0 && url.size() > 7;
    if (!http || url.find_first_of(" \t\r\n", 0) != std::string::npos ||
        url.find('/', 7) != std::string::npos) {
        error = "the board's address must be http://HOST:PORT, not '" + url + "'";
        return false;
    }
    return true;
}

bool FetchDailyAttempt(const std::string& url, DailyAttempt& out, std::string& error) {
    if (!IsBoardAddress(url, error)) return false;
    httplib::Client client(url);
    client.set_connection_timeout(5);
    client.set_read_timeout(10);
    const auto res = client.Post("/api/attempts", "", "application/octet-stream");
    if (!res) {
        error = "the board at " + url + " could not be reached (" +
                httplib::to_string(res.error()) + ")";
        return false;
    }
    const auto body = nlohmann::json::parse(res->body, nullptr, false);
    if (res->status != 201) {
        error = "the board gave no attempt at today's field: " +
                (body.is_object() && body.contains("error") && body["error"].is_string()
                     ? body["error"].get<std::string>()
                     : "status " + std::to_string(res->status));
        return false;
    }
    if (!body.is_object() || !body.contains("token") || !body["token"].is_string() ||
        !body.contains("seed") || !body["seed"].is_number_integer() || !body.contains("date") ||
        !body["date"].is_string() || !IsAttemptToken(body["token"].get<std::string>())) {
        error = "the board at " + url + " answered an attempt the game cannot read";
        return false;
    }
    out.token = body["token"].get<std::string>();
    out.seed = body["seed"].get<int64_t>();
    out.date = body["date"].get<std::string>().substr(0, 10);
    return true;
}

bool SubmitGamesTo(const std::string& url, std::string& error) {
    if (!IsBoardAddress(url, error)) return false;
    board = url;
    // A busy board answers before it has read an upload and closes the connection: sending the
    // rest must fail as a write, not end the program with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
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
