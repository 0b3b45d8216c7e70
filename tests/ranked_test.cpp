// Ranked play as its players, its cheats and its moderators meet it: today's field for everyone,
// attempts the board issued, games played no faster than real time, machines never ranked, a
// day's recordings hidden until it ends and its seed then revealed, and games hidden by hand.
// The board's clock is moved through a file (KORAVEL_BOARD_CLOCK) instead of waiting for days.
#include <gtest/gtest.h>

#include <openssl/sha.h>
#include <sqlite3.h>

#include <cstdlib>
#include <ctime>
#include <set>

#include "board/daily.h"
#include "board/ranking.h"
#include "format/recording.h"
#include "tests/board_games.h"

namespace {

using namespace board_test;

std::string Sha256Of(const std::string& text) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest);
    char hex[2 * SHA256_DIGEST_LENGTH + 1];
    for (int i = 0; i < SHA256_DIGEST_LENGTH; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    return hex;
}

// The board's clock, set to a chosen Unix time by the seconds its file adds to the system's.
struct BoardClock {
    fs::path file;
    explicit BoardClock(const fs::path& dir) : file(dir / "clock") {
        Set(std::time(nullptr));
        ::setenv("KORAVEL_BOARD_CLOCK", file.c_str(), 1); // boards started from now on read it
    }
    ~BoardClock() { ::unsetenv("KORAVEL_BOARD_CLOCK"); }
    void Set(int64_t when) const { std::ofstream(file) << when - int64_t(std::time(nullptr)); }
};

json Get(const Board& b, const std::string& path, int* status = nullptr) {
    const auto r = b.Client().Get(path);
    if (status) *status = r ? r->status : -1;
    return r ? json::parse(r->body, nullptr, false) : json();
}

json NewAttempt(const Board& b) {
    const auto r = b.Client().Post("/api/attempts", "", "application/octet-stream");
    EXPECT_TRUE(r && r->status == 201) << (r ? r->body : "no answer");
    return r ? json::parse(r->body) : json();
}

// A game of the autopilot on `seed` that ends, with the frame its first game ended on.
struct BotGame {
    std::string recording;
    int64_t over = 0, secondOver = -1;
    int score = 0;
    std::string name;
};

// `count` autopilot games on one seed, each another game (another starting level), each with
// its first game over within 60000 frames and its initials entered.
std::vector<BotGame> BotGames(const fs::path& dir, int seed, size_t count) {
    std::vector<BotGame> games;
    for (int level = 1; games.size() < count && level < 80; level += 2) {
        BotGame g;
        // Each from the game's own first table, which every one of them beats: all are "BOT".
        fs::remove(dir / "scores" / "hiscores.dat");
        g.recording = Recorded(dir, "player:" + std::to_string(level), seed, 60000);
        const auto over = GamesOf(dir, g.recording);
        if (over.empty() || over[0]["name"] != "BOT") continue;
        g.over = over[0]["frame"];
        g.score = over[0]["score"];
        g.name = over[0]["name"];
        if (over.size() > 1) g.secondOver = over[1]["frame"];
        games.push_back(g);
    }
    return games;
}

std::string Code(const json& verdict) {
    return verdict.contains("stored") ? verdict["stored"].value("unrankedCode", "ranked") : "none?";
}

TEST(Ranking, DaysSeedsAndCommitmentsFollowThePublishedFormula) {
    EXPECT_EQ(DayOf(0), "1970-01-01");
    EXPECT_EQ(DayOf(1796774400 - 1), "2026-12-08");
    EXPECT_EQ(DayStart("2026-12-09"), std::optional<int64_t>(1796774400));
    EXPECT_EQ(DayStart("2028-02-29"), std::optional<int64_t>(1835395200));
    for (const char* bad : {"2026-02-29", "2026-13-01", "2026-1-01", "+026-12-09", "2026-12-09x",
                            "1999-12-31", "", "2026/12/09", "2026-12-0 "})
        EXPECT_FALSE(DayStart(bad)) << bad;
    const DailyFields fields("a secret");
    const std::string key = fields.Key("2026-12-09");
    ASSERT_EQ(key.size(), 64u);
    EXPECT_NE(key, fields.Key("2026-12-10"));
    EXPECT_NE(key, DailyFields("another secret").Key("2026-12-09"));
    EXPECT_EQ(fields.Commitment("2026-12-09"), Sha256Of(key));
    const int64_t seed = fields.Seed("2026-12-09");
    EXPECT_EQ(seed, 1 + int64_t(std::stoull(key.substr(0, 8), nullptr, 16) % 2147483646));
    EXPECT_EQ(fields.DayOfSeed(seed, 1796774400 + 3600), "2026-12-09");
    EXPECT_EQ(fields.DayOfSeed(seed, 1796774400 + kDaySeconds + 60), "2026-12-09");
    EXPECT_EQ(fields.DayOfSeed(seed, 1796774400 + 2 * kDaySeconds + 60), "");
    EXPECT_EQ(DailyFields::SeedOfKey(std::string(8, 'f') + std::string(56, '0')),
              1 + int64_t(0xffffffffu % 2147483646u));

    // The rule: a person's first game, on its attempt's seed, no faster than real time, within
    // its day and a grace; an attempt once.
    const Attempt attempt{"t", "2026-12-09", 77, 1796774400 + 36000, 0};
    const int64_t issued = attempt.issued;
    Claim person{77, "t", "", true, "2026-12-09"};
    const uint64_t frames = 20000; // 600 s of play
    EXPECT_EQ(UnrankedCode(person, attempt, frames, issued + 600), "");
    EXPECT_EQ(UnrankedCode(person, attempt, frames, issued + 583), ""); // the slack
    EXPECT_EQ(UnrankedCode(person, attempt, frames, issued + 582), "fast");
    EXPECT_EQ(UnrankedCode(person, attempt, frames, 1796774400 + kDaySeconds + 1800), "");
    EXPECT_EQ(UnrankedCode(person, attempt, frames, 1796774400 + kDaySeconds + 1801), "late");
    EXPECT_EQ(UnrankedCode(person, std::nullopt, frames, issued + 600), "forged");
    Attempt used = attempt;
    used.usedBy = 3;
    EXPECT_EQ(UnrankedCode(person, used, frames, issued + 600), "reused");
    Claim other = person;
    other.seed = 78;
    EXPECT_EQ(UnrankedCode(other, attempt, frames, issued + 600), "seed");
    other = person;
    other.machine = "koravel-sim --bot player";
    EXPECT_EQ(UnrankedCode(other, attempt, frames, issued + 600), "machine");
    other = person;
    other.first = false;
    EXPECT_EQ(UnrankedCode(other, used, frames, issued + 600), "later");
    other.attempt = "";
    EXPECT_EQ(UnrankedCode(other, std::nullopt, frames, issued + 600), "none");
    for (const UnrankedReason& r : kUnranked) EXPECT_FALSE(UnrankedText(r.code).empty());
}

// The whole of a day, from the commitment published the day before to its revealed seed, with
// every way a game can fail to rank, and a moderator's hand.
TEST(Ranking, TodaysFieldRanksOnlyAPersonsGameUnderAnAttemptItIssued) {
    const auto dir = GameDir("ranked_day");
    const BoardClock clock(dir);
    const int64_t today = *DayStart(DayOf(std::time(nullptr)));
    const int64_t t0 = today + 10 * 3600; // 10:00 UTC
    clock.Set(t0 - kDaySeconds);
    Board board(dir, dir / "board.sqlite3");
    ASSERT_GT(board.port, 0) << board.said;
    const std::string day = DayOf(t0);

    // The day before, the board commits to today's field.
    const json before = Get(board, "/api/daily");
    ASSERT_EQ(before["tomorrow"]["date"], day) << before;
    const std::string promised = before["tomorrow"]["commitment"];
    clock.Set(t0);
    const json daily = Get(board, "/api/daily");
    EXPECT_EQ(daily["date"], day);
    EXPECT_EQ(daily["commitment"], promised);
    EXPECT_EQ(daily["secondsLeft"], 14 * 3600);
    EXPECT_EQ(daily["rules"], kRulesVersion);
    // Attempts: every one its own token, all of today's one seed, none the day's secret.
    std::vector<json> attempts;
    for (int i = 0; i < 9; ++i) attempts.push_back(NewAttempt(board));
    std::set<std::string> tokens;
    for (const json& a : attempts) {
        tokens.insert(a["token"].get<std::string>());
        EXPECT_EQ(a["seed"], attempts[0]["seed"]);
        EXPECT_EQ(a["date"], day);
        EXPECT_EQ(a["issued"], t0);
    }
    EXPECT_EQ(tokens.size(), attempts.size());
    const int seed = attempts[0]["seed"];
    auto token = [&](size_t i) { return attempts.at(i)["token"].get<std::string>(); };
    // An attempt is asked for with no body at all, or an empty one; one with a body is refused.
    EXPECT_NE(RawRequest(board.port, "POST /api/attempts HTTP/1.1\r\nHost: x\r\nConnection: "
                                     "close\r\n\r\n")
                  .find("HTTP/1.1 201"),
              std::string::npos);
    const auto bodied = board.Client().Post("/api/attempts", "x", "application/octet-stream");
    ASSERT_TRUE(bodied);
    EXPECT_EQ(bodied->status, 400);

    // koravel-sim --daily plays the field under an attempt of its own, and says it is a machine.
    const auto simDaily = RunSim(dir, "--no-picture --bot player --frames 10 --daily --board " +
                                          board.Url() + " --record " + (dir / "d.kvr").string());
    ASSERT_EQ(simDaily.status, 0) << simDaily.err;
    const std::string played = ReadText(dir / "d.kvr");
    EXPECT_EQ(played.rfind("# koravel replay 2 seed " + std::to_string(seed) + " rules ", 0), 0u)
        << played.substr(0, 200);
    EXPECT_NE(played.find("\n# koravel attempt "), std::string::npos);
    EXPECT_NE(played.find("\n# koravel machine koravel-sim --bot player\n"), std::string::npos);

    const auto games = BotGames(dir, seed, 9);
    ASSERT_EQ(games.size(), 9u) << "too few autopilot games ended on seed " << seed;
    auto send = [&](const std::string& recording, const BotGame& g) {
        return Send(board, recording, "?game=" + std::to_string(g.over));
    };
    clock.Set(t0 + 3 * 3600);
    // A machine's game, under a fresh attempt: stored, never ranked, the attempt used up.
    const json machine = send(games[0].recording.substr(0, games[0].recording.find('\n') + 1) +
                                  "# koravel attempt " + token(0) + "\n" +
                                  games[0].recording.substr(games[0].recording.find('\n') + 1),
                              games[0]);
    ASSERT_EQ(machine["state"], "stored") << machine;
    EXPECT_EQ(Code(machine), "machine");
    EXPECT_EQ(machine["stored"]["day"], day); // of today's field all the same: hidden below
    // The same attempt again, by a "person": used.
    EXPECT_EQ(Code(send(AsPerson(games[1].recording, token(0)), games[1])), "reused");
    // A token the board never issued; none at all.
    EXPECT_EQ(Code(send(AsPerson(games[2].recording, std::string(32, 'a')), games[2])), "forged");
    EXPECT_EQ(Code(send(AsPerson(games[3].recording, ""), games[3])), "none");
    // Another seed than its attempt's.
    BotGame elsewhere;
    elsewhere.recording = Recorded(dir, "player", seed == 1 ? 2 : seed - 1, 60000);
    const auto elsewhereGames = GamesOf(dir, elsewhere.recording);
    ASSERT_FALSE(elsewhereGames.empty());
    elsewhere.over = elsewhereGames[0]["frame"];
    const json otherSeed = send(AsPerson(elsewhere.recording, token(1)), elsewhere);
    EXPECT_EQ(Code(otherSeed), "seed");
    EXPECT_EQ(otherSeed["stored"]["day"], ""); // not a field of a day
    // Faster than it could be played: issued now, uploaded a second later.
    clock.Set(t0 + 3 * 3600);
    const json late_issue = NewAttempt(board);
    clock.Set(t0 + 3 * 3600 + 1);
    EXPECT_EQ(Code(send(AsPerson(games[4].recording, late_issue["token"]), games[4])), "fast");
    // Played in real time under its own attempt: ranked; and two more, one of another name.
    const json ranked = send(AsPerson(games[5].recording, token(2)), games[5]);
    ASSERT_EQ(Code(ranked), "ranked") << ranked;
    EXPECT_TRUE(ranked["stored"]["ranked"].get<bool>());
    EXPECT_EQ(ranked["stored"]["day"], day);
    std::vector<json> rankedVerdicts = {ranked};
    for (size_t i : {6u, 7u}) {
        rankedVerdicts.push_back(send(AsPerson(games[i].recording, token(i - 3)), games[i]));
        EXPECT_EQ(Code(rankedVerdicts.back()), "ranked");
    }
    // The same game again in other words keeps its standing and leaves the new attempt unused.
    const json again = send(AsPerson(games[5].recording, token(5)) + "# sent again\n", games[5]);
    EXPECT_EQ(again["game"], ranked["game"]);
    EXPECT_FALSE(again["new"].get<bool>());
    // A run's second game is on another field: not ranked, whatever its attempt.
    const auto twice =
        std::find_if(games.begin(), games.end(), [](const BotGame& g) { return g.secondOver > 0; });
    ASSERT_NE(twice, games.end()) << "no recording held two games";
    const json second = Send(board, AsPerson(twice->recording, token(5)),
                             "?game=" + std::to_string(twice->secondOver));
    EXPECT_EQ(Code(second), "later") << second;

    // The day's table: each name's best once, highest first; recordings hidden until it ends.
    std::map<std::string, int> best;
    for (size_t i : {5u, 6u, 7u})
        best[games[i].name] = std::max(best[games[i].name], games[i].score);
    const json table = Get(board, "/api/daily/" + day);
    ASSERT_EQ(table["games"].size(), best.size()) << table;
    EXPECT_FALSE(table["ended"].get<bool>());
    EXPECT_FALSE(table.contains("key"));
    int previous = INT32_MAX;
    for (const json& g : table["games"]) {
        EXPECT_EQ(g["score"], best[g["name"]]);
        EXPECT_LE(int(g["score"]), previous);
        previous = g["score"];
        EXPECT_FALSE(g.contains("recording"));
    }
    int status = 0;
    const std::string rankedId = std::to_string(int64_t(ranked["game"]));
    const std::string machineId = std::to_string(int64_t(machine["game"]));
    for (const std::string& id : {rankedId, machineId}) {
        Get(board, "/api/games/" + id + "/recording", &status);
        EXPECT_EQ(status, 403) << "game " << id;
    }
    EXPECT_NE(board.Client().Get("/")->body.find("The field of " + day), std::string::npos);
    Get(board, "/api/daily/" + DayOf(t0 + kDaySeconds), &status);
    EXPECT_EQ(status, 404);
    Get(board, "/api/daily/2026-02-30", &status);
    EXPECT_EQ(status, 400);

    // Just after midnight, within the grace: a game of the day still ranks on it.
    clock.Set(today + kDaySeconds + 600);
    const json metricsBefore = Get(board, "/api/daily");
    EXPECT_EQ(metricsBefore["yesterday"]["date"], day);
    // The seed is revealed: it is the one the attempts gave, and the commitment of the day
    // before holds it.
    const std::string key = metricsBefore["yesterday"]["key"];
    EXPECT_EQ(Sha256Of(key), promised);
    EXPECT_EQ(metricsBefore["yesterday"]["seed"], seed);
    EXPECT_EQ(DailyFields::SeedOfKey(key), seed);
    const json ended = Get(board, "/api/daily/" + day);
    EXPECT_TRUE(ended["ended"].get<bool>());
    EXPECT_EQ(ended["key"], key);
    ASSERT_FALSE(ended["games"].empty());
    EXPECT_TRUE(ended["games"][0].contains("recording"));
    const auto kvr = board.Client().Get("/api/games/" + rankedId + "/recording");
    ASSERT_TRUE(kvr);
    EXPECT_EQ(kvr->status, 200);
    // Past the grace: too late for its day.
    clock.Set(today + kDaySeconds + kDayGraceSeconds + 60);
    EXPECT_EQ(Code(send(AsPerson(games[8].recording, token(6)), games[8])), "late");
    const json days = Get(board, "/api/daily");
    ASSERT_FALSE(days["days"].empty());
    EXPECT_EQ(days["days"][0], day); // past days stay listed

    // /metrics counts the ranked, the unranked by reason, and the hidden.
    auto metrics = [&] { return board.Client().Get("/metrics")->body; };
    const std::string counted = metrics();
    EXPECT_EQ(Gauge(counted, "koravel_ranked_games"), 3);
    for (const char* reason :
         {"machine", "reused", "forged", "none", "seed", "fast", "later", "late"})
        EXPECT_EQ(Gauge(counted, std::string("koravel_unranked_games{reason=\"") + reason + "\"}"),
                  1)
            << reason;
    EXPECT_EQ(Gauge(counted, "koravel_hidden_games"), 0);
    // A paused game: the board sees how often and how long.
    const auto pausedRun =
        RunSim(dir, "--no-picture --seed 3 --frames 3000 --record " + (dir / "paused.kvr").string(),
               "30 press left\n32 release left\n600 press pause\n"
               "601 release pause\n700 press pause\n701 release pause\n");
    ASSERT_EQ(pausedRun.status, 0) << pausedRun.err;
    const json paused = Send(board, ReadText(dir / "paused.kvr"), "?game=last");
    ASSERT_EQ(paused["state"], "stored") << paused;
    EXPECT_EQ(paused["stored"]["pauses"], 1);
    EXPECT_EQ(paused["stored"]["pausedFrames"], 100);
    // The game's own client says what became of a game under an attempt.
    const auto machinePlayed = RunSim(dir, "--no-picture --bot player --frames 60000 --daily "
                                           "--board " +
                                               board.Url());
    ASSERT_EQ(machinePlayed.status, 0) << machinePlayed.err;
    EXPECT_NE(machinePlayed.err.find(", not ranked: the recording says a machine played it\n"),
              std::string::npos)
        << machinePlayed.err;

    // A moderator hides the day's best game, from the host's command line: gone from every
    // answer.
    const std::string topId = std::to_string(int64_t(table["games"][0]["id"]));
    auto moderate = [&](const std::string& args) {
        const std::string cmd = std::string(KORAVEL_BOARD) + " --db " + StoreFor(board.db) + " " +
                                args + " >" + (dir / "mod.txt").string() + " 2>&1";
        const int raw = std::system(cmd.c_str());
        return std::make_pair(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAllOf(dir / "mod.txt"));
    };
    EXPECT_EQ(moderate("--hide " + topId).first, 2); // no reason given
    const auto hid = moderate("--hide " + topId + " --why 'a route copied from a stream'");
    ASSERT_EQ(hid.first, 0) << hid.second;
    EXPECT_EQ(hid.second, "koravel-board: game " + topId + " is hidden\n");
    const auto listsId = [&](const std::string& path) {
        const std::string body = board.Client().Get(path)->body;
        return body.find("\"id\":" + topId + ",") != std::string::npos;
    };
    for (const std::string& path :
         {std::string("/api/top?all=1"), std::string("/api/top"), "/api/daily/" + day})
        EXPECT_FALSE(listsId(path)) << path;
    const std::string link = "/api/games/" + topId + "/recording\"";
    EXPECT_EQ(board.Client().Get("/?day=" + day)->body.find(link), std::string::npos);
    Get(board, "/api/games/" + topId, &status);
    EXPECT_EQ(status, 410);
    Get(board, "/api/games/" + topId + "/recording", &status);
    EXPECT_EQ(status, 410);
    std::string location;
    for (const json& v : rankedVerdicts)
        if (v["game"] == table["games"][0]["id"]) location = v["location"];
    const json followed = Get(board, location);
    EXPECT_FALSE(followed.contains("stored"));
    EXPECT_TRUE(followed.value("hidden", false));
    EXPECT_EQ(Gauge(metrics(), "koravel_hidden_games"), 1);
    EXPECT_EQ(Gauge(metrics(), "koravel_ranked_games"), 2);
    // A name hidden hides every game of it; shown again, they are back.
    std::string name;
    for (size_t i : {5u, 6u, 7u})
        if (!games[i].name.empty()) name = games[i].name;
    ASSERT_FALSE(name.empty()) << "no ranked game had initials";
    ASSERT_EQ(moderate("--hide-name '" + name + "' --why 'impersonation'").first, 0);
    for (const json& g : Get(board, "/api/top?all=1")) EXPECT_NE(g["name"], name);
    const json withoutName = Get(board, "/api/daily/" + day);
    for (const json& g : withoutName["games"]) EXPECT_NE(g["name"], name);
    EXPECT_EQ(moderate("--unhide-name '" + name + "'").first, 0);
    EXPECT_EQ(moderate("--unhide " + topId + " --why 'cleared'").first, 0);
    EXPECT_TRUE(listsId("/api/top?all=1"));
    EXPECT_TRUE(listsId("/api/daily/" + day));
    EXPECT_NE(board.Client().Get("/?day=" + day)->body.find(link), std::string::npos);
    EXPECT_EQ(Gauge(metrics(), "koravel_hidden_games"), 0);
    const auto missing = moderate("--hide 999999 --why x");
    EXPECT_EQ(missing.first, 1);
    EXPECT_EQ(missing.second, "koravel-board: no game 999999 on this board\n");
    EXPECT_EQ(moderate("--unhide-name nobody").first, 1);
    // Every act is in the audit table, with its reason and operator.
    if (OnPostgres()) {
        const std::string uri = StoreFor(board.db);
        EXPECT_EQ(Sql(uri.substr(uri.rfind('/') + 1),
                      "SELECT count(*) || ' ' || string_agg(why, ',' ORDER BY id) FROM moderation"),
                  "4 a route copied from a stream,impersonation,,cleared");
    } else {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(board.db.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT count(*), group_concat(why, ','), min(operator <> '')"
                           " FROM (SELECT * FROM moderation ORDER BY id)",
                           -1, &q, nullptr);
        ASSERT_EQ(sqlite3_step(q), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(q, 0), 4);
        EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(q, 1)),
                     "a route copied from a stream,impersonation,,cleared");
        EXPECT_EQ(sqlite3_column_int(q, 2), 1);
        sqlite3_finalize(q);
        sqlite3_close(db);
    }
}

} // namespace
