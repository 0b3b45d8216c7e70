// Ranked play as its players, its cheats and its moderators meet it: today's field for everyone,
// attempts the board issued, games played no faster than real time, machines never ranked, a
// day's recordings hidden until it ends and its seed then revealed, and games hidden by hand.
// The board's clock is moved through a file (KORAVEL_BOARD_CLOCK) instead of waiting for days.
#include <gtest/gtest.h>

#include <openssl/sha.h>

#include <cstdlib>
#include <ctime>

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
// the ways a game fails to rank that only the whole board sees (a machine's line, another seed,
// a run's second game, an upload past the grace), and a moderator's hand. The rule itself is
// the test above; what the store keeps of it is StoreConformance's.
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
    const std::string promised = Get(board, "/api/daily")["tomorrow"]["commitment"];
    clock.Set(t0);
    const json daily = Get(board, "/api/daily");
    EXPECT_EQ(daily["date"], day);
    EXPECT_EQ(daily["commitment"], promised);
    EXPECT_EQ(daily["secondsLeft"], 14 * 3600);
    // Attempts: each its own token, all of today's one seed; asked for with no body at all.
    std::vector<json> attempts;
    for (int i = 0; i < 5; ++i) attempts.push_back(NewAttempt(board));
    EXPECT_NE(attempts[0]["token"], attempts[1]["token"]);
    EXPECT_EQ(attempts[0]["seed"], attempts[4]["seed"]);
    EXPECT_EQ(attempts[0]["issued"], t0);
    const int seed = attempts[0]["seed"];
    auto token = [&](size_t i) { return attempts.at(i)["token"].get<std::string>(); };
    EXPECT_THAT(RawRequest(board.port,
                           "POST /api/attempts HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"),
                StartsWith("HTTP/1.1 201"));
    EXPECT_EQ(board.Client().Post("/api/attempts", "x", "application/octet-stream")->status, 400);

    const auto games = BotGames(dir, seed, 4);
    ASSERT_EQ(games.size(), 4u) << "too few autopilot games ended on seed " << seed;
    auto send = [&](const std::string& recording, int64_t over) {
        return Send(board, recording, "?game=" + std::to_string(over));
    };
    clock.Set(t0 + 3 * 3600);
    const std::string& bot = games[0].recording;
    const auto header = bot.find('\n') + 1;
    const std::string underAttempt =
        bot.substr(0, header) + "# koravel attempt " + token(0) + "\n" + bot.substr(header);
    EXPECT_EQ(Code(send(underAttempt, games[0].over)), "machine");
    const std::string elsewhere = Recorded(dir, "player", seed == 1 ? 2 : seed - 1, 60000);
    EXPECT_EQ(Code(send(AsPerson(elsewhere, token(1)), GamesOf(dir, elsewhere).at(0)["frame"])),
              "seed");
    std::vector<json> ranked;
    for (size_t i : {1u, 2u}) {
        ranked.push_back(send(AsPerson(games[i].recording, token(i + 1)), games[i].over));
        EXPECT_EQ(Code(ranked.back()), "ranked") << ranked.back();
        EXPECT_EQ(ranked.back()["stored"]["day"], day);
    }
    const auto twice =
        std::find_if(games.begin(), games.end(), [](const BotGame& g) { return g.secondOver > 0; });
    ASSERT_NE(twice, games.end()) << "no recording held two games";
    EXPECT_EQ(Code(send(AsPerson(twice->recording, token(4)), twice->secondOver)), "later");

    // The day's table: each name's best once, highest first; recordings hidden until it ends.
    const json table = Get(board, "/api/daily/" + day);
    ASSERT_EQ(table["games"].size(), 1u) << table; // both ranked games are "BOT"
    EXPECT_EQ(table["games"][0]["score"], std::max(games[1].score, games[2].score));
    EXPECT_FALSE(table["games"][0].contains("recording"));
    EXPECT_FALSE(table.contains("key"));
    int status = 0;
    const std::string topId = std::to_string(int64_t(table["games"][0]["id"]));
    Get(board, "/api/games/" + topId + "/recording", &status);
    EXPECT_EQ(status, 403);
    EXPECT_THAT(board.Client().Get("/")->body, HasSubstr("The field of " + day));
    Get(board, "/api/daily/2026-02-30", &status);
    EXPECT_EQ(status, 400);

    // Just after midnight the seed is revealed, and the commitment of the day before holds it.
    clock.Set(today + kDaySeconds + 600);
    const std::string key = Get(board, "/api/daily")["yesterday"]["key"];
    EXPECT_EQ(Sha256Of(key), promised);
    EXPECT_EQ(DailyFields::SeedOfKey(key), seed);
    EXPECT_TRUE(Get(board, "/api/daily/" + day)["ended"].get<bool>());
    Get(board, "/api/games/" + topId + "/recording", &status);
    EXPECT_EQ(status, 200);
    // Past the grace: too late for its day.
    clock.Set(today + kDaySeconds + kDayGraceSeconds + 60);
    EXPECT_EQ(Code(send(AsPerson(games[3].recording, token(4)), games[3].over)), "late");
    const std::string counted = board.Client().Get("/metrics")->body;
    EXPECT_EQ(Gauge(counted, "koravel_ranked_games"), 2);
    for (const char* reason : {"machine", "seed", "later", "late"})
        EXPECT_EQ(Gauge(counted, std::string("koravel_unranked_games{reason=\"") + reason + "\"}"),
                  1)
            << reason;
    // A paused game: the board sees how often and how long.
    const auto pausedRun =
        RunSim(dir, "--no-picture --seed 3 --frames 3000 --record " + (dir / "paused.kvr").string(),
               "30 press left\n32 release left\n600 press pause\n601 release pause\n"
               "700 press pause\n701 release pause\n");
    ASSERT_EQ(pausedRun.status, 0) << pausedRun.err;
    const json paused = Send(board, ReadText(dir / "paused.kvr"), "?game=last");
    EXPECT_EQ(paused["stored"]["pauses"], 1) << paused;
    EXPECT_EQ(paused["stored"]["pausedFrames"], 100);
    // The game's own client says what became of a game under an attempt.
    const auto machinePlayed =
        RunSim(dir, "--no-picture --bot player --frames 60000 --daily --board " + board.Url());
    EXPECT_THAT(machinePlayed.err,
                HasSubstr(", not ranked: the recording says a machine played it\n"));

    // A moderator hides the day's best game from the host's command line, with a reason: gone from
    // every answer, and back when shown again; each act audited.
    auto moderate = [&](const std::string& args) {
        return Shell(std::string(KORAVEL_BOARD) + " --db " + StoreFor(board.db) + " " + args, dir);
    };
    const auto lists = [&](const std::string& path) {
        return board.Client().Get(path)->body.find("\"id\":" + topId + ",") != std::string::npos;
    };
    const auto hid = moderate("--hide " + topId + " --why 'a route copied from a stream'");
    EXPECT_EQ(hid.second, "koravel-board: game " + topId + " is hidden\n");
    EXPECT_FALSE(lists("/api/top?all=1"));
    EXPECT_FALSE(lists("/api/daily/" + day));
    Get(board, "/api/games/" + topId + "/recording", &status);
    EXPECT_EQ(status, 410);
    EXPECT_EQ(Gauge(board.Client().Get("/metrics")->body, "koravel_hidden_games"), 1);
    EXPECT_EQ(moderate("--unhide " + topId + " --why 'cleared'").first, 0);
    EXPECT_TRUE(lists("/api/daily/" + day));
    EXPECT_EQ(moderate("--hide 999999 --why x").second,
              "koravel-board: no game 999999 on this board\n");
    const std::string name = StoreFor(board.db).substr(StoreFor(board.db).rfind('/') + 1);
    EXPECT_EQ(OnPostgres() ? Sql(name, "SELECT string_agg(why, ',' ORDER BY id) FROM moderation")
                           : SqliteValue(board.db, "SELECT group_concat(why, ',') FROM "
                                                   "(SELECT why FROM moderation ORDER BY id)"),
              "a route copied from a stream,cleared");
}

} // namespace
