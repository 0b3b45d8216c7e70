// The score board as its players and its attackers meet it: koravel-board started for real on
// loopback, games sent by the game's own client code, forged and hostile submissions, a crowd
// of clients, and a server killed in the middle of them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <httplib.h>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "tests/sim_helpers.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// koravel-board on a free port of 127.0.0.1, stopped with the test.
struct Board {
    pid_t pid = -1;
    int port = 0;
    fs::path db;

    Board(const fs::path& database, const std::vector<std::string>& extra = {}) : db(database) {
        int out[2];
        EXPECT_EQ(::pipe(out), 0);
        std::vector<std::string> args = {KORAVEL_BOARD, "--listen", "127.0.0.1:0", "--db",
                                         db.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        pid = ::fork();
        if (pid == 0) {
            ::dup2(out[1], 1);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        std::string line;
        char c;
        while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
        ::close(out[0]);
        // "koravel-board: listening on http://127.0.0.1:PORT/"
        const auto colon = line.rfind(':');
        if (colon != std::string::npos) port = std::atoi(line.c_str() + colon + 1);
        EXPECT_GT(port, 0) << "koravel-board said: " << line;
    }
    ~Board() { Kill(SIGTERM); }
    void Kill(int sig) {
        if (pid <= 0) return;
        ::kill(pid, sig);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port); }
    httplib::Client Client() const {
        httplib::Client c(Url());
        c.set_read_timeout(120);
        return c;
    }
};

httplib::Result Post(const Board& b, const std::string& body, const std::string& query = "") {
    return b.Client().Post("/api/games" + query, body, "application/octet-stream");
}

// A recording of koravel-sim's own autopilot or random player, and what the game itself says
// of its finished games.
std::string Recorded(const fs::path& dir, const std::string& bot, int seed, int frames) {
    const fs::path kvr = dir / (bot + std::to_string(seed) + ".kvr");
    RunSim(dir, "--no-picture --bot " + bot + " --seed " + std::to_string(seed) + " --frames " +
                    std::to_string(frames) + " --record " + kvr.string());
    return ReadText(kvr);
}

std::vector<json> GamesOf(const fs::path& dir, const std::string& recording) {
    std::ofstream(dir / "check.kvr", std::ios::binary) << recording;
    const auto r = RunSim(dir, "--no-picture --replay " + (dir / "check.kvr").string() +
                                   " --games " + (dir / "games.jsonl").string());
    std::vector<json> games;
    if (r.status != 0) return games;
    std::istringstream lines(ReadText(dir / "games.jsonl"));
    for (std::string l; std::getline(lines, l);) games.push_back(json::parse(l));
    return games;
}

TEST(Board, AGameGoesFromTheClientToThePageAndPlaysBackTheSame) {
    const auto dir = GameDir("board_e2e");
    Board board(dir / "board.sqlite3");
    auto run = RunSim(dir, "--bot player --seed 1 --frames 20800 --board " + board.Url());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("the board has your game of 86840 points as BOT"), std::string::npos)
        << run.err;
    auto page = board.Client().Get("/");
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("<td class=n>BOT</td>"), std::string::npos);
    const auto top = json::parse(board.Client().Get("/api/top?limit=5")->body);
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0]["score"], 86840);
    EXPECT_EQ(top[0]["level"], 24);
    const auto kvr =
        board.Client().Get("/api/games/" + std::to_string(int(top[0]["id"])) + "/recording");
    ASSERT_TRUE(kvr && kvr->status == 200);
    std::ofstream(dir / "watched.kvr", std::ios::binary) << kvr->body;
    const auto watched = RunSim(dir, "--replay " + (dir / "watched.kvr").string());
    ASSERT_EQ(watched.status, 0) << watched.err;
    // Frame for frame as played, to the initials and beyond; the recording was taken in the
    // middle of its last frame, so that one may differ.
    ASSERT_GT(watched.trace.size(), 20714u);
    for (size_t f = 0; f + 1 < watched.trace.size(); ++f)
        ASSERT_EQ(watched.trace[f], run.trace[f]) << "frame " << f;
}

TEST(Board, StoresOnlyWhatEachReplayShows) {
    const auto dir = GameDir("board_forged");
    Board board(dir / "board.sqlite3");
    const std::string real = Recorded(dir, "player", 3, 22500);
    ASSERT_EQ(GamesOf(dir, real).at(0)["score"], 88360);

    // Each forgery is stored as its own replay shows it, or refused with a reason.
    const auto header = real.find("\n", real.rfind("# koravel table")) + 1;
    std::string claimed = real;
    claimed.insert(header, "# score 99999999\n");
    std::string seed = real;
    seed.replace(seed.find("seed ") + 5, 1, "7");
    std::string table = real; // a table the game could never have started with
    table.replace(table.find("# koravel table"), 15,
                  "# koravel table 99999999 60 -424f54\n# koravel table");
    std::string moved, changed;
    std::istringstream lines(real);
    for (std::string l; std::getline(lines, l);) {
        const auto space = l.find(' ');
        if (l[0] != '#' && std::stoll(l.substr(0, space)) > 3000) {
            moved += std::to_string(std::stoll(l.substr(0, space)) + 7) + l.substr(space) + "\n";
            changed +=
                l.find(" move ") != std::string::npos && std::stoll(l.substr(0, space)) < 9000
                    ? l.substr(0, space) + " move 400 300" + l.substr(l.find(" @")) + "\n"
                    : l + "\n";
        } else {
            moved += l + "\n";
            changed += l + "\n";
        }
    }
    for (const std::string& forged : {claimed, seed, table, moved, changed}) {
        const auto truth = GamesOf(dir, forged);
        const auto res = Post(board, forged);
        ASSERT_TRUE(res);
        const auto body = json::parse(res->body);
        if (res->status == 201 || res->status == 200) {
            ASSERT_FALSE(truth.empty());
            int best = 0;
            for (const auto& g : truth) best = std::max(best, int(g["score"]));
            EXPECT_EQ(body["score"], best);
        } else { // refused: not a recording (400), or no game over in its replay
                 // (422)
            EXPECT_TRUE(res->status == 400 || (res->status == 422 && truth.empty())) << res->body;
            EXPECT_TRUE(body.contains("error")) << res->body;
        }
    }
    EXPECT_EQ(json::parse(Post(board, claimed)->body)["score"],
              88360); // the claim ignored
    // Two recordings glued into one are not a recording; the same one twice is kept
    // once.
    EXPECT_EQ(Post(board, real + real)->status, 400);
    const auto first = Post(board, real), again = Post(board, real);
    EXPECT_EQ(again->status, 200);
    EXPECT_EQ(json::parse(first->body)["id"], json::parse(again->body)["id"]);
    // Names come only from what the game lets a player enter; the page escapes them
    // anyway.
    EXPECT_EQ(board.Client().Get("/")->body.find("<script"), std::string::npos);
}

TEST(Board, HostileInputGetsAReasonAndTheBoardGoesOn) {
    const auto dir = GameDir("board_hostile");
    Board board(dir / "board.sqlite3");
    const std::string real = Recorded(dir, "random", 1, 1200);
    auto status = [&](const httplib::Result& r) { return r ? r->status : -1; };
    EXPECT_EQ(status(Post(board, std::string(5 << 20, 'x'))), 413);
    // A gzip bomb: 200 MB of zeros in 200 KB.
    std::string zeros(200 << 20, '\0'), bomb;
    {
        httplib::detail::gzip_compressor gz;
        gz.compress(zeros.data(), zeros.size(), true, [&](const char* d, size_t n) {
            bomb.append(d, n);
            return true;
        });
    }
    EXPECT_LT(bomb.size(), 4u << 20);
    EXPECT_EQ(status(Post(board, bomb)), 400);
    httplib::Headers encoded = {{"Content-Encoding", "gzip"}};
    EXPECT_EQ(status(board.Client().Post("/api/games", encoded, bomb, "application/octet-stream")),
              415);
    // A recording that never ends, and one with no game over in it.
    std::string endless = real.substr(0, real.rfind('\n', real.size() - 2) + 1) + "400000 end\n";
    EXPECT_EQ(status(Post(board, endless)), 400);
    EXPECT_EQ(status(Post(board, real.substr(0, real.find("\n", real.find("@")) + 1) + "10 end\n")),
              422);
    for (const char* query : {"/api/top?limit=0", "/api/top?limit=abc", "/api/top?since=-1",
                              "/api/top?limit=99999999999999999999", "/api/games/0",
                              "/api/games/99999999999999999", "/nothing", "/api/games/1/x"}) {
        const auto r = board.Client().Get(query);
        ASSERT_TRUE(r) << query;
        EXPECT_TRUE(r->status == 400 || r->status == 404) << query << ": " << r->status;
        EXPECT_TRUE(json::parse(r->body, nullptr, false).contains("error")) << query;
    }
    EXPECT_EQ(status(Post(board, real, "?game=<b>")), 400);
    // The recording fuzz corpus, sent as it is: every file answered, none with a failure of ours.
    for (const auto& e :
         fs::directory_iterator(fs::path(KORAVEL_SOURCE_DIR) / "fuzz/corpus/events")) {
        const auto r = Post(board, ReadText(e.path()));
        ASSERT_TRUE(r) << e.path();
        EXPECT_LT(r->status, 500) << e.path() << ": " << r->body;
    }
    EXPECT_EQ(status(board.Client().Get("/api/top")), 200);

    // A verifier that crashes or hangs is the request's failure, not the board's.
    for (const char* script : {"#!/bin/sh\nkill -SEGV $$\n", "#!/bin/sh\nexec sleep 100\n"}) {
        std::ofstream(dir / "fake-sim") << script;
        fs::permissions(dir / "fake-sim", fs::perms::owner_all);
        Board broken(dir / "broken.sqlite3",
                     {"--sim", (dir / "fake-sim").string(), "--verify-seconds", "1"});
        const auto r = Post(broken, real);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 422) << r->body;
        EXPECT_EQ(status(broken.Client().Get("/api/top")), 200);
    }
}

// Eight clients send 400 recordings in all; the server is killed with SIGKILL halfway and
// started again on the same database. Every game answered 201 is there exactly once, the file
// is whole, and 10,000 reads of the top list follow.
TEST(Board, ACrowdAndAKilledServerLoseNothing) {
    const auto dir = GameDir("board_load");
    // 400 recordings of one short game, each made different by a comment of its own.
    const std::string game = Recorded(dir, "random", 1, 1000);
    ASSERT_EQ(GamesOf(dir, game).size(), 1u);
    const size_t afterHeader = game.find('\n') + 1;
    std::vector<std::string> recordings;
    for (int i = 0; i < 400; ++i)
        recordings.push_back(game.substr(0, afterHeader) + "# copy " + std::to_string(i) + "\n" +
                             game.substr(afterHeader));
    // Room for four at once: the other clients are told 429 and come back.
    const std::vector<std::string> small = {"--queue", "2"};
    auto board = std::make_unique<Board>(dir / "board.sqlite3", small);
    std::atomic<int> port{board->port}, next{0}, busy{0};
    std::mutex m;
    std::set<int64_t> accepted;
    std::vector<double> submitMs;
    auto client = [&] {
        for (int i; (i = next++) < int(recordings.size());) {
            for (int attempt = 0; attempt < 200; ++attempt) {
                httplib::Client c("127.0.0.1", port);
                c.set_read_timeout(60);
                const auto t0 = std::chrono::steady_clock::now();
                const auto r =
                    c.Post("/api/games", recordings[size_t(i)], "application/octet-stream");
                const double ms =
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                        .count();
                if (r && r->status == 429) ++busy;
                if (!r || r->status == 429) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    continue;
                }
                std::lock_guard lock(m);
                submitMs.push_back(ms);
                if (r->status == 201) accepted.insert(json::parse(r->body)["id"].get<int64_t>());
                break;
            }
        }
    };
    std::vector<std::thread> clients;
    for (int i = 0; i < 8; ++i) clients.emplace_back(client);
    while (next < 200) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    board->Kill(SIGKILL);
    board = std::make_unique<Board>(
        dir / "board.sqlite3",
        std::vector<std::string>{"--queue", "2", "--listen", "127.0.0.1:" + std::to_string(port)});
    for (auto& t : clients) t.join();
    const auto all = json::parse(board->Client().Get("/api/top?limit=1000")->body);
    std::set<int64_t> stored;
    for (const auto& g : all) stored.insert(g["id"].get<int64_t>());
    for (int64_t id : accepted) EXPECT_TRUE(stored.count(id)) << "game " << id << " was lost";
    EXPECT_EQ(all.size(), stored.size());
    EXPECT_LE(all.size(), recordings.size());
    EXPECT_GE(accepted.size(), 300u);
    EXPECT_GT(busy, 0);

    std::vector<double> readMs;
    std::vector<std::thread> readers;
    for (int i = 0; i < 8; ++i)
        readers.emplace_back([&] {
            httplib::Client c("127.0.0.1", port);
            std::vector<double> mine;
            for (int n = 0; n < 1250; ++n) {
                const auto t0 = std::chrono::steady_clock::now();
                const auto r = c.Get("/api/top?limit=100");
                mine.push_back(
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                        .count());
                if (!r || r->status != 200) ADD_FAILURE() << "a read failed";
            }
            std::lock_guard lock(m);
            readMs.insert(readMs.end(), mine.begin(), mine.end());
        });
    for (auto& t : readers) t.join();
    board.reset();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "board.sqlite3").c_str(), &db), SQLITE_OK);
    std::string check;
    sqlite3_exec(
        db, "PRAGMA integrity_check",
        [](void* out, int, char** v, char**) {
            *static_cast<std::string*>(out) += v[0];
            return 0;
        },
        &check, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(check, "ok");
    auto pct = [](std::vector<double> v, double p) {
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
    };
    std::printf("submissions: %zu answered, %zu stored, %d answered 429 and retried; p50 %.1f ms, "
                "p99 %.1f ms\nreads of the top 100: %zu, p50 %.2f ms, p99 %.2f ms\n",
                submitMs.size(), accepted.size(), int(busy), pct(submitMs, 0.5),
                pct(submitMs, 0.99), readMs.size(), pct(readMs, 0.5), pct(readMs, 0.99));
}

} // namespace
