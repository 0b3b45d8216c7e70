// koravel-board under load on loopback, as docs/performance.md reports it: reads beside hundreds
// of slow and idle connections, beside gzip bombs, beside clients re-sending three-hour games;
// reads on one kept-open connection; and real games verified per second.
// Usage: build/bench/board_load [SECONDS_PER_SCENE [SCENE...]]; with KORAVEL_TEST_POSTGRES naming
// the file of a PostgreSQL URI (tools/postgres_cluster.sh start DIR writes DIR/uri), on PostgreSQL.
#include <atomic>
#include <cstdio>
#include <mutex>

#include "tests/board_helpers.h"

namespace {

using namespace board_test;
using Clock = std::chrono::steady_clock;

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

double MsSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

fs::path work;

std::string Record(const std::string& args, const std::string& name) {
    const fs::path kvr = work / name;
    const std::string cmd = std::string(KORAVEL_SIM) + " --dir " + work.string() +
                            " --no-picture " + args + " --record " + kvr.string() + " >/dev/null";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not record %s\n", name.c_str());
    return ReadAllOf(kvr);
}

// Readers of the top 100 on new connections until `stop`; their times in ms.
struct Readers {
    std::vector<double> ms;
    std::mutex m;
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    int failed = 0;
    Readers(const Board& b, int count) {
        for (int i = 0; i < count; ++i)
            threads.emplace_back([&] {
                std::vector<double> mine;
                int bad = 0;
                while (!stop) {
                    httplib::Client c(b.Url());
                    c.set_keep_alive(false);
                    const auto t0 = Clock::now();
                    const auto r = c.Get("/api/top?limit=100");
                    mine.push_back(MsSince(t0));
                    bad += !r || r->status != 200;
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
                std::lock_guard lock(m);
                ms.insert(ms.end(), mine.begin(), mine.end());
                failed += bad;
            });
    }
    std::string Finish() {
        stop = true;
        for (auto& t : threads) t.join();
        char line[160];
        std::snprintf(line, sizeof line,
                      "%zu reads, p50 %.2f ms, p99 %.2f ms, max %.1f ms, %d failed", ms.size(),
                      Percentile(ms, 0.5), Percentile(ms, 0.99), Percentile(ms, 1.0), failed);
        return line;
    }
};

// Seconds from an upload's 202 to its turn (a verifier takes it) and from its turn to its verdict.
std::pair<double, double> HonestGame(const Board& b, const std::string& recording) {
    const auto t0 = Clock::now();
    std::string location;
    for (int i = 0; i < 2000 && location.empty(); ++i) {
        const auto r = Post(b, recording);
        if (r && r->status == 202)
            location = r->get_header_value("Location");
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (location.empty()) return {-1, -1};
    double turn = -1;
    auto c = b.Client();
    for (;;) {
        const auto s = c.Get(location);
        const json v = s ? json::parse(s->body, nullptr, false) : json();
        if (v.is_object() && turn < 0 && v["state"] != "queued") turn = MsSince(t0) / 1000;
        if (v.is_object() && (v["state"] == "stored" || v["state"] == "refused"))
            return {turn, MsSince(t0) / 1000 - turn};
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void SlowAndIdle(const std::string& honest, int seconds) {
    Board board(work / "rude", work / "rude" / "board.sqlite3");
    std::vector<int> slow, idle;
    for (int i = 0; i < 200; ++i) {
        const int fd = Connect(board.port, "127.0.10." + std::to_string(1 + i / 50));
        SendAll(fd, "POST /api/games HTTP/1.1\r\nHost: x\r\nContent-Length: 1000000\r\n\r\n");
        slow.push_back(fd);
    }
    for (int i = 0; i < 1000; ++i)
        idle.push_back(Connect(board.port, "127.0.20." + std::to_string(1 + i / 50)));
    std::atomic<bool> stop{false};
    std::thread drip([&] { // one byte a second on each slow connection
        while (!stop) {
            for (int fd : slow) ::send(fd, "#", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            for (int i = 0; i < 10 && !stop; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    Readers readers(board, 4);
    const auto [turn, verdict] = HonestGame(board, honest);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    std::printf("200 slow bodies + 1000 idle connections: %s; an honest game verified %.2f s after "
                "its turn (waited %.2f s)\n",
                readers.Finish().c_str(), verdict, turn);
    stop = true;
    drip.join();
    for (int fd : slow) ::close(fd);
    for (int fd : idle) ::close(fd);
}

void Bombs() {
    Board board(work / "bombs", work / "bombs" / "board.sqlite3");
    std::string moves = "# koravel replay 1 seed 1\n";
    while (moves.size() < (31u << 20)) moves += "0 move 1 1 @1\n";
    const std::string bomb = GzipOf(moves + "30000 end\n");
    moves.clear();
    moves.shrink_to_fit();
    const long before = board.RssKb();
    Readers readers(board, 4);
    std::atomic<int> finished{0};
    std::vector<std::thread> bombers;
    const auto t0 = Clock::now();
    for (int i = 0; i < 8; ++i)
        bombers.emplace_back([&, i] {
            Send(board, bomb, "?game=" + std::to_string(i));
            ++finished;
        });
    long most = before;
    while (finished < 8) {
        most = std::max(most, board.RssKb());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (auto& t : bombers) t.join();
    std::printf("eight %zu-byte bombs (31 MiB inflated) verified in %.1f s: board %ld -> %ld kB at "
                "most, %ld kB after; %s\n",
                bomb.size(), MsSince(t0) / 1000, before, most, board.RssKb(),
                readers.Finish().c_str());
}

void LongGames(const std::string& honest, int seconds) {
    const std::string three = Record("--bot player --seed 5 --frames 360000", "three-hours.kvr");
    // Each upload byte-different, so that each must be verified: the same game, which the
    // board keeps once.
    std::vector<std::string> variants;
    for (int i = 0; i < 64; ++i)
        variants.push_back(GzipOf(three.substr(0, three.find('\n') + 1) + "# copy " +
                                      std::to_string(i) + "\n" + three.substr(three.find('\n') + 1),
                                  1));
    Board board(work / "long", work / "long" / "board.sqlite3");
    std::atomic<bool> stop{false};
    std::atomic<int> busy{0}, accepted{0};
    std::vector<std::thread> senders;
    for (int i = 0; i < 16; ++i)
        senders.emplace_back([&, i] {
            httplib::Client c(board.Url());
            for (size_t n = size_t(i); !stop; n += 16) {
                const auto r =
                    c.Post("/api/games", variants[n % variants.size()], "application/octet-stream");
                if (r && r->status == 429) ++busy;
                if (r && r->status == 202) ++accepted;
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        });
    std::this_thread::sleep_for(std::chrono::seconds(2));
    Readers readers(board, 4);
    const auto [turn, verdict] = HonestGame(board, honest);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const std::string reads = readers.Finish();
    stop = true;
    for (auto& t : senders) t.join();
    std::printf(
        "16 clients re-sending %zu-byte three-hour games (%zu gzipped): %d answered 202, %d "
        "answered 429; %s; an honest game verified %.2f s after its turn (waited %.2f s)\n",
        three.size(), variants[0].size(), int(accepted), int(busy), reads.c_str(), verdict, turn);
}

void KeptOpen() {
    Board board(work / "kept", work / "kept" / "board.sqlite3");
    httplib::Client c(board.Url());
    c.set_keep_alive(true);
    std::vector<double> ms;
    for (int i = 0; i < 2000; ++i) {
        const auto t0 = Clock::now();
        c.Get("/api/top?limit=100");
        ms.push_back(MsSince(t0));
    }
    std::printf("2000 reads on one kept-open connection: p50 %.2f ms, p99 %.2f ms\n",
                Percentile(ms, 0.5), Percentile(ms, 0.99));
}

void ReadsPerSecond(const Board& board, int seconds);

void GamesPerSecond(int seconds) {
    std::vector<std::string> games;
    for (int seed = 1; seed <= 24; ++seed) {
        char args[64], name[32];
        std::snprintf(args, sizeof args, "--bot player --seed %d --frames 40000", seed);
        std::snprintf(name, sizeof name, "g%d.kvr", seed);
        games.push_back(Record(args, name));
    }
    Board board(work / "rate", work / "rate" / "board.sqlite3");
    std::atomic<int> next{0}, stored{0};
    std::atomic<uint64_t> frames{0};
    const auto t0 = Clock::now();
    std::vector<std::thread> clients;
    for (int i = 0; i < 4; ++i)
        clients.emplace_back([&] {
            for (int g; (g = next++) < int(games.size());) {
                json v;
                for (int attempt = 0; attempt < 1000; ++attempt) {
                    const auto r = Post(board, games[size_t(g)]);
                    if (r && r->status == 429) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(20));
                        continue;
                    }
                    v = Verdict(board, r);
                    break;
                }
                if (v["state"] == "stored") {
                    ++stored;
                    frames += v["stored"]["frames"].get<uint64_t>();
                }
            }
        });
    for (auto& t : clients) t.join();
    const double s = MsSince(t0) / 1000;
    std::printf("%d real games (%.0f frames each on average) verified and stored in %.2f s: %.1f "
                "games/s with 2 verifiers\n",
                int(stored), double(frames) / std::max(1, int(stored)), s, stored / s);
    ReadsPerSecond(board, seconds);
}

// Requests a second that 8 clients on kept-open connections have answered as `good` by one
// front end for `seconds`; `ask` makes the i-th request.
template <typename Ask>
std::pair<double, int> Hammer(const Board& board, int seconds, Ask ask, int good) {
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0}, other{0}, next{0};
    std::vector<std::thread> clients;
    const auto t0 = Clock::now();
    for (int i = 0; i < 8; ++i)
        clients.emplace_back([&] {
            httplib::Client c(board.Url());
            c.set_keep_alive(true);
            while (!stop) {
                const auto r = ask(c, next++);
                (r && r->status == good ? answered : other) += 1;
            }
        });
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stop = true;
    for (auto& t : clients) t.join();
    return {answered / (MsSince(t0) / 1000), int(other)};
}

// What one front end answers at most: reads of the top list (the board above, its games in it).
void ReadsPerSecond(const Board& board, int seconds) {
    const auto [rate, other] = Hammer(
        board, seconds, [](httplib::Client& c, int) { return c.Get("/api/top?limit=100"); }, 200);
    std::printf(
        "8 clients reading the top 100 on kept-open connections: %.0f reads/s (%d failed)\n", rate,
        other);
}

// Reads of the day's field (/api/daily: today, tomorrow's commitment, yesterday revealed, the
// days with tables) and of today's table, and attempts issued, each kept in the store.
void DailyPerSecond(int seconds) {
    Board board(work / "daily", work / "daily" / "board.sqlite3");
    const auto [daily, dailyOther] = Hammer(
        board, seconds, [](httplib::Client& c, int) { return c.Get("/api/daily"); }, 200);
    const std::string today =
        json::parse(board.Client().Get("/api/daily")->body)["date"].get<std::string>();
    const auto [table, tableOther] = Hammer(
        board, seconds, [&](httplib::Client& c, int) { return c.Get("/api/daily/" + today); }, 200);
    const auto [attempts, attemptsOther] = Hammer(
        board, seconds,
        [](httplib::Client& c, int) {
            return c.Post("/api/attempts", "", "application/octet-stream");
        },
        201);
    std::printf("8 clients on kept-open connections: %.0f reads/s of /api/daily (%d failed), "
                "%.0f of today's table (%d failed), %.0f attempts issued/s (%d failed)\n",
                daily, dailyOther, table, tableOther, attempts, attemptsOther);
}

// And uploads taken (202), each kept in the store before its answer; on PostgreSQL the front
// verifies nothing (workers would), on SQLite one verifier refuses them meanwhile.
void UploadsPerSecond(int seconds) {
    const std::vector<std::string> front = {"--verifiers", OnPostgres() ? "0" : "1", "--queue",
                                            "10000"};
    Board board(work / "uploads", work / "uploads" / "board.sqlite3", front);
    const auto [rate, other] = Hammer(
        board, seconds,
        [](httplib::Client& c, int n) {
            return c.Post("/api/games",
                          "# koravel replay 2 seed " + std::to_string(n) + " rules 1\n30 end\n",
                          "application/octet-stream");
        },
        202);
    std::printf("8 clients uploading small recordings: %.0f uploads/s taken (%d otherwise)\n", rate,
                other);
}

} // namespace

int main(int argc, char** argv) {
    MoreFiles();
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    char pattern[] = "/tmp/koravel-board-load.XXXXXX";
    work = ::mkdtemp(pattern);
    fs::create_directories(work / "scores");
    fs::create_directory_symlink(fs::path(KORAVEL_BUILD_DIR) / "gfx", work / "gfx");
    fs::create_directory_symlink(fs::path(KORAVEL_BUILD_DIR) / "sound", work / "sound");
    // Scenes named after the seconds run alone: kept, slow, bombs, long, games, uploads, daily.
    const std::vector<std::string> only(argv + std::min(argc, 2), argv + argc);
    auto wanted = [&](const char* scene) {
        return only.empty() || std::find(only.begin(), only.end(), scene) != only.end();
    };
    const std::string honest = Record("--bot player --seed 2 --frames 40000", "honest.kvr");
    if (wanted("kept")) KeptOpen();
    if (wanted("slow")) SlowAndIdle(honest, seconds);
    if (wanted("bombs")) Bombs();
    if (wanted("long")) LongGames(honest, seconds);
    if (wanted("games")) GamesPerSecond(seconds);
    if (wanted("uploads")) UploadsPerSecond(seconds);
    if (wanted("daily")) DailyPerSecond(seconds);
    std::printf("(store: %s)\n", OnPostgres() ? "PostgreSQL" : "SQLite");
    fs::remove_all(work);
}
