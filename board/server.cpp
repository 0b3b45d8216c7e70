#include "board/server.h"

#include "board/metrics.h"

#include <sys/statvfs.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <nlohmann/json.hpp>

#include "board/daily.h"
#include "board/play_files.h"
#include "format/recording.h"

namespace {

using nlohmann::json;

json ToJson(const BoardGame& g) {
    json j = {{"id", g.id},         {"score", g.score},         {"level", g.level},
              {"frames", g.frames}, {"name", g.name},           {"submitted", g.submitted},
              {"rules", g.rules},   {"verifiedBy", g.verifier}, {"seed", g.seed},
              {"day", g.day},       {"ranked", g.ranked}};
    if (!g.ranked) j["unranked"] = UnrankedText(g.unranked), j["unrankedCode"] = g.unranked;
    if (!g.machine.empty()) j["machine"] = g.machine;
    j["pauses"] = g.pauses;
    j["pausedFrames"] = g.pausedFrames;
    return j;
}

// Whether a day (of a game, say) has ended: its recordings are hidden until then, so that no
// one copies a route through the field everyone still plays.
bool Ended(const std::string& day, int64_t now) {
    const auto start = DayStart(day);
    return !start || now >= *start + kDaySeconds;
}

Reply Json(int status, const json& body) {
    Reply r;
    r.status = status;
    r.body = body.dump();
    return r;
}

Reply Refuse(int status, const std::string& why) { return Json(status, {{"error", why}}); }

// A POST refused before its body is read: the connection cannot carry another request.
Reply RefuseUnread(int status, const std::string& why, const char* retryAfter = nullptr) {
    Reply r = Refuse(status, why);
    r.close = true;
    if (retryAfter) r.headers.emplace_back("Retry-After", retryAfter);
    return r;
}

// A whole number in [low, high] from a query parameter, or the default when absent.
std::optional<int64_t> Param(const RequestHead& req, const char* name, int64_t low, int64_t high,
                             int64_t absent) {
    const auto value = req.Arg(name);
    if (!value) return absent;
    int64_t v = 0;
    if (!ParseWholeNumber(*value, low, high, v)) return std::nullopt;
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

// Free bytes where a folder is, or a huge number when it cannot be asked.
uint64_t FreeBytes(const std::string& folder) {
    struct statvfs fs {};
    if (folder.empty() || ::statvfs(folder.c_str(), &fs) != 0) return UINT64_MAX;
    return uint64_t(fs.f_bavail) * fs.f_frsize;
}

const char* StateName(SubmissionState s) {
    switch (s) {
    case SubmissionState::Queued:
        return "queued";
    case SubmissionState::Verifying:
        return "verifying";
    case SubmissionState::Stored:
        return "stored";
    case SubmissionState::Refused:
        return "refused";
    }
    return "queued";
}

// The id in "/api/<kind>/ID" or "/api/<kind>/ID/<rest>", or 0.
int64_t IdIn(const std::string& path, const std::string& prefix, const std::string& rest) {
    if (path.rfind(prefix, 0) != 0) return 0;
    const std::string tail = path.substr(prefix.size());
    const auto slash = tail.find('/');
    const std::string number = tail.substr(0, slash);
    const std::string after = slash == std::string::npos ? "" : tail.substr(slash);
    int64_t id = 0;
    if (after != rest || !ParseWholeNumber(number, 1, INT64_MAX, id)) return 0;
    return id;
}

class Board {
  public:
    Board(const BoardSettings& s, Store& store, Verifiers& verifiers, const PlayFiles& play,
          const DailyFields& fields)
        : s_(s), store_(store), verifiers_(verifiers), play_(play), fields_(fields) {}

    std::optional<Reply> Head(const RequestHead& req) {
        try {
            if (req.Method() == "POST" && req.Path() == "/api/attempts") return IssueAttempt(req);
            if (req.Method() == "POST")
                return req.Path() == "/api/games" ? CheckUpload(req)
                                                  : RefuseUnread(404, "no such thing here");
            if (req.Method() != "GET" && req.Method() != "HEAD")
                return RefuseUnread(405, "not a thing to do here");
            return Get(req);
        } catch (const StoreFailure& e) { return Unavailable(e); }
    }

    Reply Body(const RequestHead& req, std::string&& body) {
        // Only the first line is looked at here; the verifier reads the rest.
        const bool gzipped =
            body.size() >= 2 && uint8_t(body[0]) == 0x1f && uint8_t(body[1]) == 0x8b;
        if (!gzipped && body.rfind("# koravel replay ", 0) != 0)
            return Refuse(400, "not a recording: it starts with neither '# koravel replay' nor "
                               "gzip's mark");
        try {
            // Asked again now that the body is in: many sent at once cannot overfill the queue,
            // and bodies still arriving (slowly, perhaps) hold no place in it.
            if (QueueFull()) {
                CountOutcome(Outcome::Busy);
                Reply r = Refuse(429, "the verifiers are busy: try again shortly");
                r.headers.emplace_back("Retry-After", "2");
                return r;
            }
            const Submission sub = store_.Enqueue(body, Which(req));
            verifiers_.Wake();
            Reply r = Json(202, SubmissionJson(sub));
            r.headers.emplace_back("Location", Location(sub.id));
            return r;
        } catch (const StoreFailure& e) { return Unavailable(e); }
    }

  private:
    std::string Which(const RequestHead& req) const { return req.Arg("game").value_or("best"); }
    static std::string Location(int64_t id) { return "/api/submissions/" + std::to_string(id); }

    bool QueueFull() { return store_.Pending() >= verifiers_.Count() + s_.queue; }

    Reply Unavailable(const StoreFailure& e) {
        CountOutcome(Outcome::Unavailable);
        LogLine(e.what());
        Reply r = Refuse(503, "the board cannot keep games just now: try again later");
        r.headers.emplace_back("Retry-After", "60");
        return r;
    }

    // An attempt at today's field: a token the upload of its game carries back.
    Reply IssueAttempt(const RequestHead& req) {
        if (req.ContentLength().value_or(0) > 0)
            return RefuseUnread(400, "an attempt is asked for with an empty body");
        const int64_t now = store_.Now();
        const std::string day = DayOf(now);
        const Attempt attempt{RandomHex(16), day, fields_.Seed(day), now, 0};
        store_.AddAttempt(attempt);
        Reply r = Json(201, {{"token", attempt.token},
                             {"seed", attempt.seed},
                             {"date", day},
                             {"issued", now},
                             {"rules", kRulesVersion},
                             {"secondsLeft", *DayStart(day) + kDaySeconds - now},
                             {"upload", "/api/games?game=last"}});
        r.headers.emplace_back("Cache-Control", "no-store");
        return r;
    }

    // Today, the commitment to tomorrow's field, yesterday's revealed, and the days with tables.
    Reply Daily() {
        const int64_t now = store_.Now();
        const std::string today = DayOf(now);
        const int64_t start = *DayStart(today);
        const std::string tomorrow = DayOf(start + kDaySeconds);
        json days = json::array();
        for (const std::string& day : store_.RankedDays(30)) days.push_back(day);
        Reply r = Json(
            200, {{"date", today},
                  {"rules", kRulesVersion},
                  {"secondsLeft", start + kDaySeconds - now},
                  {"commitment", fields_.Commitment(today)},
                  {"tomorrow", {{"date", tomorrow}, {"commitment", fields_.Commitment(tomorrow)}}},
                  {"yesterday", Revealed(DayOf(start - 1))},
                  {"attempts", "/api/attempts"},
                  {"table", "/api/daily/" + today},
                  {"days", days}});
        r.headers.emplace_back("Cache-Control", "no-store");
        return r;
    }

    json Revealed(const std::string& day) const {
        const std::string key = fields_.Key(day);
        return {{"date", day},
                {"key", key},
                {"seed", DailyFields::SeedOfKey(key)},
                {"commitment", DailyFields::CommitmentOfKey(key)}};
    }

    // A day's table; once the day has ended, with its key, its seed and its recordings.
    Reply DayTableOf(const RequestHead& req, const std::string& day) {
        const auto start = DayStart(day);
        if (!start) return Refuse(400, "a day is written YYYY-MM-DD");
        const int64_t now = store_.Now();
        if (*start > now) return Refuse(404, "that day has not begun");
        const auto limit = Param(req, "limit", 1, 1000, 100);
        if (!limit) return Refuse(400, "limit is 1 to 1000");
        const bool ended = Ended(day, now);
        json games = json::array();
        for (const BoardGame& g : store_.DayTable(day, int(*limit))) {
            json j = ToJson(g);
            if (ended) j["recording"] = "/api/games/" + std::to_string(g.id) + "/recording";
            games.push_back(j);
        }
        json body =
            ended ? Revealed(day) : json{{"date", day}, {"commitment", fields_.Commitment(day)}};
        body["ended"] = ended;
        if (!ended) body["secondsLeft"] = *start + kDaySeconds - now;
        body["games"] = games;
        Reply r = Json(200, body);
        r.headers.emplace_back("Cache-Control", "no-store");
        return r;
    }

    // Everything that can be known of an upload before its body is read.
    std::optional<Reply> CheckUpload(const RequestHead& req) {
        if (!req.ContentLength()) return RefuseUnread(411, "a Content-Length is needed");
        if (req.Header("Content-Encoding"))
            return RefuseUnread(
                415, "send the recording itself, gzip-compressed or not, without Content-Encoding");
        const std::string type = req.Header("Content-Type").value_or("");
        const std::string bare = type.substr(0, type.find(';'));
        if (!bare.empty() && bare != "application/octet-stream" && bare != "application/gzip" &&
            bare != "application/x-gzip" && bare != "text/plain")
            return RefuseUnread(415, "send the recording as application/octet-stream, not " +
                                         bare.substr(0, 60) +
                                         " (curl: -H 'Content-Type: application/octet-stream')");
        const std::string which = Which(req);
        int64_t frame = 0;
        if (which != "best" && which != "last" &&
            !ParseWholeNumber(which, 0, int64_t(s_.verifiers.maxFrames), frame))
            return RefuseUnread(400, "game must be best, last or the frame a game ended on");
        if (QueueFull()) {
            CountOutcome(Outcome::Busy);
            return RefuseUnread(429, "the verifiers are busy: try again shortly", "2");
        }
        // Room for the upload where it is kept and where it is replayed, with some to spare.
        const uint64_t need = *req.ContentLength() + (16u << 20);
        if (FreeBytes(s_.verifiers.workFolder) < need || FreeBytes(s_.dbFolder) < need) {
            LogLine("too little free space to take uploads (temporary folder or database)");
            return RefuseUnread(503, "the board has no room for uploads just now: try again later",
                                "60");
        }
        return std::nullopt;
    }

    std::optional<Reply> Get(const RequestHead& req) {
        const std::string& path = req.Path();
        if (path == "/") return Page(req);
        if (path == "/api/top") return Top(req);
        if (path == "/api/daily") return Daily();
        if (path.rfind("/api/daily/", 0) == 0) return DayTableOf(req, path.substr(11));
        if (path == "/healthz") return Health();
        if (path == "/metrics") {
            Reply r;
            r.type = "text/plain; version=0.0.4";
            r.body = MetricsText({store_.Pending(), int64_t(OpenConnections()),
                                  int64_t(verifiers_.Count()), int64_t(verifiers_.Hosts()),
                                  store_.Counts()});
            return r;
        }
        if (const int64_t id = IdIn(path, "/api/submissions/", "")) return SubmissionOf(id);
        if (const int64_t id = IdIn(path, "/api/games/", "")) {
            const auto g = store_.Game(id);
            if (!g) return Refuse(404, "no such game");
            if (g->hidden) return Refuse(410, kHiddenGame);
            return Json(200, ToJson(*g));
        }
        if (const int64_t id = IdIn(path, "/api/games/", "/recording")) return RecordingOf(id);
        if (play_.Serving() && path == "/play") {
            Reply r = Refuse(301, "the page is at /play/");
            r.headers.emplace_back("Location", "/play/");
            return r;
        }
        if (play_.Serving() && path.rfind("/play/", 0) == 0) {
            const std::string accepts = req.Header("Accept-Encoding").value_or("");
            return play_.Get(path.substr(6), accepts.find("gzip") != std::string::npos,
                             req.Header("If-None-Match").value_or(""));
        }
        return Refuse(404, "no such thing here");
    }

    // For a load balancer or a monitor: 200 while the store answers, with the queue's depth.
    Reply Health() {
        Reply r;
        try {
            r = Json(200, {{"ok", true}, {"queue", store_.Pending()}});
        } catch (const StoreFailure& e) { r = Json(503, {{"ok", false}, {"error", e.what()}}); }
        r.headers.emplace_back("Cache-Control", "no-store");
        return r;
    }

    json SubmissionJson(const Submission& sub) {
        json body = {
            {"id", sub.id}, {"state", StateName(sub.state)}, {"location", Location(sub.id)}};
        if (sub.state == SubmissionState::Stored) {
            body["game"] = sub.game;
            body["new"] = sub.newGame;
            const auto g = store_.Game(sub.game);
            if (g && g->hidden) body["hidden"] = true;
            if (g && !g->hidden) body["stored"] = ToJson(*g);
        }
        if (sub.state == SubmissionState::Refused) body["error"] = sub.reason;
        return body;
    }

    Reply SubmissionOf(int64_t id) {
        const auto sub = store_.SubmissionById(id);
        if (!sub) return Refuse(404, "no such submission");
        return Json(200, SubmissionJson(*sub));
    }

    Reply Top(const RequestHead& req) {
        const auto limit = Param(req, "limit", 1, 1000, 100);
        const auto days = Param(req, "since", 0, 36500, -1);
        const auto all = Param(req, "all", 0, 1, 0);
        if (!limit || !days || !all)
            return Refuse(400, "limit is 1 to 1000, since 0 to 36500 days, all 0 or 1");
        json list = json::array();
        for (const BoardGame& g :
             store_.Top(int(*limit), *days < 0 ? 0 : store_.Now() - *days * 86400, *all == 1))
            list.push_back(ToJson(g));
        return Json(200, list);
    }

    Reply RecordingOf(int64_t id) {
        const auto g = store_.Game(id);
        if (!g) return Refuse(404, "no such game");
        if (g->hidden) return Refuse(410, kHiddenGame);
        const int64_t now = store_.Now();
        if (!Ended(g->day, now)) {
            Reply r = Refuse(403, "the recordings of " + g->day +
                                      "'s field are hidden until the day ends, in " +
                                      std::to_string(*DayStart(g->day) + kDaySeconds - now) + " s");
            r.headers.emplace_back("Retry-After",
                                   std::to_string(*DayStart(g->day) + kDaySeconds - now));
            return r;
        }
        const auto kvr = store_.Recording(id);
        if (!kvr) return Refuse(404, "no such game");
        Reply r;
        r.body = *kvr;
        r.type = "application/octet-stream";
        r.headers.emplace_back("Content-Disposition",
                               "attachment; filename=\"koravel-" + std::to_string(id) + ".kvr\"");
        return r;
    }

    Reply Page(const RequestHead& req) {
        const int64_t now = store_.Now();
        std::string day = req.Arg("day").value_or(DayOf(now));
        if (!DayStart(day) || *DayStart(day) > now) day = DayOf(now);
        std::string html =
            "<!doctype html><html lang=\"en\"><head><meta charset=\"utf-8\">"
            "<title>Koravel: the board</title><style>body{background:#000;color:#9ab;"
            "font:15px sans-serif;margin:2em}a{color:#cde}td,th{padding:2px 12px;text-align:"
            "right}td.n{text-align:left}</style></head><body><h1>Koravel: the board</h1>"
            "<p>Every score here is what the game's own replay of its recording showed. Each "
            "name's best game is listed once.</p>";
        const bool today = day == DayOf(now);
        html += Table(("The field of " + day + (today ? " (today)" : "")).c_str(),
                      store_.DayTable(day, 100));
        html += "<p>Every player meets the same field each day; only games played in real time "
                "under an attempt the board issued are ranked on it";
        if (today && play_.Serving()) html += ": <a href=\"/play/?daily\">play today's field</a>";
        html += ". Its recordings can be watched once the day ends (UTC).";
        std::string past;
        for (const std::string& d : store_.RankedDays(30))
            if (d != day)
                past += " <a href=\"/?day=" + HtmlEscaped(d) + "\">" + HtmlEscaped(d) + "</a>";
        if (!past.empty()) html += " Past days:" + past + ".";
        html += "</p>";
        html += Table("Today's best", store_.Top(10, now - 86400, false));
        html += Table("The best 100", store_.Top(100, 0, false));
        html += "</body></html>";
        Reply r;
        r.body = std::move(html);
        r.type = "text/html; charset=utf-8";
        return r;
    }

    std::string Table(const char* title, const std::vector<BoardGame>& games) {
        std::string html = std::string("<h2>") + title + "</h2>";
        if (games.empty()) return html + "<p>No games yet.</p>";
        html += "<table><tr><th>#</th><th>Score</th><th>Level</th><th class=n>Name</th>"
                "<th></th></tr>";
        int place = 0;
        const int64_t now = store_.Now();
        for (const BoardGame& g : games) {
            const std::string id = std::to_string(g.id);
            const std::string recording = "/api/games/" + id + "/recording";
            const std::string watch = play_.Serving() ? "/play/?replay=" + recording : recording;
            const std::string link = Ended(g.day, now)
                                         ? "<a href=\"" + HtmlEscaped(watch) + "\">" +
                                               (play_.Serving() ? "watch" : "download") + "</a>"
                                         : "after the day";
            html += "<tr><td>" + std::to_string(++place) + "</td><td>" + std::to_string(g.score) +
                    "</td><td>" + std::to_string(g.level) + "</td><td class=n>" +
                    HtmlEscaped(g.name.empty() ? "-" : g.name) + "</td><td>" + link + "</td></tr>";
        }
        return html + "</table>";
    }

    const BoardSettings& s_;
    Store& store_;
    Verifiers& verifiers_;
    const PlayFiles& play_;
    const DailyFields& fields_;
    static constexpr const char* kHiddenGame = "this game was hidden by the board's moderators";
};

// The days' fields from the secret the store keeps (drawn now on a new board); nothing, said in
// one line, when the store cannot give it.
std::optional<DailyFields> FieldsOf(Store& store) {
    try {
        return DailyFields(store.Secret(RandomHex(32)));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "koravel-board: %s\n", e.what());
        return std::nullopt;
    }
}

} // namespace

bool RunBoard(const BoardSettings& s, Store& store) {
    PlayFiles play;
    std::string error;
    if (!s.web.empty() && !play.Open(s.web, error)) {
        std::fprintf(stderr, "koravel-board: cannot serve %s at /play: %s\n", s.web.c_str(),
                     error.c_str());
        return false;
    }
    try {
        if (const int back = store.RequeueAbandoned())
            LogLine(std::to_string(back) + " uploads left half-verified go back to the queue");
    } catch (const StoreFailure& e) {
        std::fprintf(stderr, "koravel-board: %s\n", e.what());
        return false;
    }
    const std::optional<DailyFields> fields = FieldsOf(store);
    if (!fields) return false;
    Verifiers verifiers(s.verifiers, store, *fields);
    Board board(s, store, verifiers, play, *fields);
    Routes routes;
    routes.Head = [&](const RequestHead& req) { return board.Head(req); };
    routes.Body = [&](const RequestHead& req, std::string&& body) {
        return board.Body(req, std::move(body));
    };
    const bool ok = RunFront(s.front, routes);
    verifiers.Stop();
    return ok;
}

namespace {
std::mutex stopping;
std::condition_variable stopped;
bool stopAsked = false;
} // namespace

bool RunWorker(const VerifierSettings& s, Store& store, const std::string& where) {
    const std::optional<DailyFields> fields = FieldsOf(store);
    if (!fields) return false;
    Verifiers verifiers(s, store, *fields);
    std::printf("koravel-board: verifying uploads kept in %s with %d verifiers\n", where.c_str(),
                s.count);
    std::fflush(stdout);
    std::unique_lock lock(stopping);
    stopped.wait(lock, [] { return stopAsked; });
    lock.unlock();
    verifiers.Stop();
    return true;
}

void StopBoard() {
    {
        std::lock_guard lock(stopping);
        stopAsked = true;
    }
    stopped.notify_all();
    StopFront();
}
