#include "board/server.h"

#include <openssl/sha.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <httplib.h>
#include <mutex>
#include <nlohmann/json.hpp>

#include "board/inflate.h"
#include "record/script.h"

namespace {

using nlohmann::json;

httplib::Server* running = nullptr;

int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string Sha256(const std::string& bytes) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    std::string hex;
    char two[3];
    for (unsigned char b : digest) std::snprintf(two, sizeof two, "%02x", b), hex += two;
    return hex;
}

json ToJson(const BoardGame& g) {
    return {{"id", g.id},         {"score", g.score}, {"level", g.level},
            {"frames", g.frames}, {"name", g.name},   {"submitted", g.submitted}};
}

void Reply(httplib::Response& res, int status, const json& body) {
    res.status = status;
    res.set_content(body.dump(), "application/json");
}

void Refuse(httplib::Response& res, int status, const std::string& why) {
    Reply(res, status, {{"error", why}});
}

// A whole number in [low, high] from a query parameter, or the default when absent.
std::optional<int64_t> Param(const httplib::Request& req, const char* name, int64_t low,
                             int64_t high, int64_t absent) {
    if (!req.has_param(name)) return absent;
    int64_t v = 0;
    if (!ParseWholeNumber(req.get_param_value(name), low, high, v)) return std::nullopt;
    return v;
}

std::string HtmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// At most `verifiers` replays at once, and at most `queue` submissions waiting for one.
class Gate {
  public:
    Gate(int running, int waiting) : free_(running), room_(running + waiting) {}
    bool Enter() {
        std::unique_lock lock(mutex_);
        if (inside_ >= room_) return false;
        ++inside_;
        freed_.wait(lock, [&] { return free_ > 0; });
        --free_;
        return true;
    }
    void Leave() {
        std::lock_guard lock(mutex_);
        --inside_;
        ++free_;
        freed_.notify_one();
    }

  private:
    std::mutex mutex_;
    std::condition_variable freed_;
    int free_, room_, inside_ = 0;
};

class Board {
  public:
    Board(const BoardSettings& s, Store& store)
        : s_(s), store_(store), gate_(s.verifiers, s.queue) {}

    void Submit(const httplib::Request& req, httplib::Response& res) {
        if (req.body.size() > s_.maxBody) return Refuse(res, 413, "the recording is over 4 MiB");
        std::string kvr = req.body;
        if (LooksGzipped(kvr)) {
            auto inflated = Gunzip(kvr, s_.maxInflated);
            if (!inflated) return Refuse(res, 400, "the gzip data is broken or inflates too far");
            kvr = std::move(*inflated);
        }
        if (kvr.size() > kMaxInputBytes) return Refuse(res, 413, "the recording is too large");
        Recording recording;
        std::string error;
        if (!ParseRecording(kvr, recording, error))
            return Refuse(res, 400, "not a recording: " + error);
        if (uint64_t(recording.endFrame) > s_.maxFrames)
            return Refuse(res, 400, "the recording is longer than three hours of play");
        const std::string which = req.has_param("game") ? req.get_param_value("game") : "best";
        int64_t wantFrame = -1;
        if (which != "best" && which != "last" &&
            !ParseWholeNumber(which, 0, int64_t(s_.maxFrames), wantFrame))
            return Refuse(res, 400, "game must be best, last or the frame a game ended on");

        if (!gate_.Enter()) {
            res.set_header("Retry-After", "1");
            return Refuse(res, 429, "the verifiers are busy: try again shortly");
        }
        const Verdict v = VerifyRecording(s_.sim, kvr, s_.limits);
        gate_.Leave();
        if (!v.ok) return Refuse(res, 422, v.reason);
        if (v.games.empty()) return Refuse(res, 422, "no game in the recording reached its end");
        const VerifiedGame* chosen = nullptr;
        for (const VerifiedGame& g : v.games) {
            if (which == "best" && (!chosen || g.score > chosen->score)) chosen = &g;
            if (which == "last") chosen = &g;
            if (wantFrame >= 0 && g.frame == uint64_t(wantFrame)) chosen = &g;
        }
        if (!chosen) return Refuse(res, 422, "no game of the recording ended on that frame");
        BoardGame game{0, chosen->score, chosen->level, chosen->frame, chosen->name, Now()};
        const std::string digest = Sha256(kvr) + ":" + std::to_string(chosen->frame);
        const Store::Added added = store_.Add(game, kvr, digest);
        game.id = added.id;
        if (!added.added) game = *store_.Game(added.id);
        json body = ToJson(game);
        body["stored"] = added.added;
        Reply(res, added.added ? 201 : 200, body);
    }

    void Top(const httplib::Request& req, httplib::Response& res) {
        const auto limit = Param(req, "limit", 1, 1000, 100);
        const auto days = Param(req, "since", 0, 36500, -1);
        if (!limit || !days)
            return Refuse(res, 400, "limit is 1 to 1000 and since 0 to 36500 days");
        json list = json::array();
        for (const BoardGame& g : store_.Top(int(*limit), *days < 0 ? 0 : Now() - *days * 86400))
            list.push_back(ToJson(g));
        Reply(res, 200, list);
    }

    void Game(const httplib::Request& req, httplib::Response& res) {
        int64_t id = 0;
        if (!ParseWholeNumber(req.matches[1].str(), 1, INT64_MAX, id))
            return Refuse(res, 404, "no such game");
        if (const auto g = store_.Game(id)) return Reply(res, 200, ToJson(*g));
        Refuse(res, 404, "no such game");
    }

    void RecordingOf(const httplib::Request& req, httplib::Response& res) {
        int64_t id = 0;
        if (!ParseWholeNumber(req.matches[1].str(), 1, INT64_MAX, id))
            return Refuse(res, 404, "no such game");
        const auto kvr = store_.Recording(id);
        if (!kvr) return Refuse(res, 404, "no such game");
        res.set_header("Content-Disposition",
                       "attachment; filename=\"koravel-" + std::to_string(id) + ".kvr\"");
        res.set_content(*kvr, "application/octet-stream");
    }

    void Page(const httplib::Request&, httplib::Response& res) {
        std::string html =
            "<!doctype html><html lang=\"en\"><head><meta charset=\"utf-8\">"
            "<title>Koravel: the board</title><style>body{background:#000;color:#9ab;"
            "font:15px sans-serif;margin:2em}a{color:#cde}td,th{padding:2px 12px;text-align:"
            "right}td.n{text-align:left}</style></head><body><h1>Koravel: the board</h1>"
            "<p>Every score here is what the game's own replay of its recording showed.</p>";
        html += Table("Today's best", store_.Top(10, Now() - 86400));
        html += Table("The best 100", store_.Top(100, 0));
        html += "</body></html>";
        res.set_content(html, "text/html; charset=utf-8");
    }

  private:
    std::string Table(const char* title, const std::vector<BoardGame>& games) {
        std::string html = std::string("<h2>") + title + "</h2>";
        if (games.empty()) return html + "<p>No games yet.</p>";
        html += "<table><tr><th>#</th><th>Score</th><th>Level</th><th class=n>Name</th>"
                "<th></th></tr>";
        int place = 0;
        for (const BoardGame& g : games) {
            const std::string id = std::to_string(g.id);
            const std::string recording = "/api/games/" + id + "/recording";
            const std::string watch = s_.web.empty() ? recording : "/play/?replay=" + recording;
            html += "<tr><td>" + std::to_string(++place) + "</td><td>" + std::to_string(g.score) +
                    "</td><td>" + std::to_string(g.level) + "</td><td class=n>" +
                    HtmlEscaped(g.name.empty() ? "-" : g.name) + "</td><td><a href=\"" +
                    HtmlEscaped(watch) + "\">" + (s_.web.empty() ? "download" : "watch") +
                    "</a></td></tr>";
        }
        return html + "</table>";
    }

    const BoardSettings& s_;
    Store& store_;
    Gate gate_;
};

} // namespace

bool RunBoard(const BoardSettings& s, Store& store) {
    httplib::Server server;
    Board board(s, store);
    server.set_payload_max_length(s.maxBody + 1);
    // Bodies come as sent: a Content-Encoding would be inflated before any cap could apply.
    server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        if (!req.has_header("Content-Encoding")) return httplib::Server::HandlerResponse::Unhandled;
        Refuse(res, 415,
               "send the recording itself, gzip-compressed or not, without Content-Encoding");
        return httplib::Server::HandlerResponse::Handled;
    });
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty())
            Refuse(res, res.status,
                   res.status == 413 ? "the recording is over 4 MiB" : "no such thing here");
    });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res,
                                    std::exception_ptr) { Refuse(res, 500, "the board failed"); });
    server.Post("/api/games", [&](const auto& q, auto& r) { board.Submit(q, r); });
    server.Get("/api/top", [&](const auto& q, auto& r) { board.Top(q, r); });
    server.Get(R"(/api/games/([0-9]{1,18}))", [&](const auto& q, auto& r) { board.Game(q, r); });
    server.Get(R"(/api/games/([0-9]{1,18})/recording)",
               [&](const auto& q, auto& r) { board.RecordingOf(q, r); });
    server.Get("/", [&](const auto& q, auto& r) { board.Page(q, r); });
    if (!s.web.empty() && !server.set_mount_point("/play", s.web)) {
        std::fprintf(stderr, "koravel-board: cannot serve %s\n", s.web.c_str());
        return false;
    }
    const int port = s.port == 0 ? server.bind_to_any_port(s.host) : s.port;
    if (port < 0 || (s.port != 0 && !server.bind_to_port(s.host, s.port))) {
        std::fprintf(stderr, "koravel-board: cannot listen on %s:%d\n", s.host.c_str(), s.port);
        return false;
    }
    std::printf("koravel-board: listening on http://%s:%d/\n", s.host.c_str(), port);
    std::fflush(stdout);
    running = &server;
    const bool ok = server.listen_after_bind();
    running = nullptr;
    return ok;
}

void StopBoard() {
    if (running) running->stop();
}
