// koravel-board: a shared score board that trusts nothing but replays. Every submitted
// recording is replayed by the headless game, and only what that replay shows is kept.
#include <pthread.h>
#include <pwd.h>
#include <signal.h>

#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "board/server.h"
#include "board/store.h"
#include "board/verifier.h"
#include "engine/files.h"
#include "format/recording.h"

namespace {

const char* const kUsage =
    "usage: koravel-board [--listen ADDR:PORT] [--db FILE|URI] [--web DIR] [--sim PATH]\n"
    "                     [--verifiers N] [--queue N] [--verify-seconds N]\n"
    "                     [--connections N] [--per-client N] [--request-seconds N]\n"
    "                     [--idle-seconds N] [--behind-proxy] [--access-log FILE]\n"
    "                     [--backup FILE] [--worker] [--version] [--help | -h]\n"
    "       koravel-board [--db FILE|URI] --hide ID|--hide-name NAME --why TEXT\n"
    "       koravel-board [--db FILE|URI] --unhide ID|--unhide-name NAME [--why TEXT]\n";
const char* const kHelp =
    "Keeps the best Koravel games, each proven by replaying its recording.\n"
    "  --listen ADDR:PORT  where to listen (default 127.0.0.1:8642; port 0: any free one)\n"
    "  --db FILE|URI       the SQLite database (default: board.sqlite3 in koravel's folder of\n"
    "                      your data, ~/.local/share/koravel/), or a postgresql://USER@HOST/DB\n"
    "                      URI that any number of boards and workers share\n"
    "  --web DIR           serve a browser build's page/ folder at /play, and link games to it\n"
    "  --sim PATH          the koravel-sim that replays (default: the one beside this program)\n"
    "  --verifiers N       replays at once (default 2; 0 on PostgreSQL: workers verify)\n"
    "  --queue N           uploads waiting for a verifier (default 16); more get 429\n"
    "  --verify-seconds N  the wall-clock limit of one replay (default 60)\n"
    "  --connections N     open connections in all (default 4000)\n"
    "  --per-client N      open connections from one address (default 64)\n"
    "  --request-seconds N a request's time from its first line to its answer (default 30)\n"
    "  --idle-seconds N    a kept-open connection's time between requests (default 15)\n"
    "  --behind-proxy      the client is the last address of X-Forwarded-For, as a proxy in\n"
    "                      front (nginx) sets it; without it the header is ignored\n"
    "  --backup FILE       copy the SQLite database (--db) to FILE while a board may be\n"
    "                      running on it, and end; restore by putting the copy in the\n"
    "                      database's place with the board stopped (PostgreSQL: pg_dump)\n"
    "  --worker            serve nothing: verify the uploads kept in a shared --db for the\n"
    "                      boards in front\n"
    "  --access-log FILE   one line per request answered: client, method, path, status,\n"
    "                      bytes, milliseconds ('-': standard output)\n"
    "  --hide ID, --hide-name NAME\n"
    "                      hide a game, or every game of a name, from every list, and answer\n"
    "                      410 for it; --why says why, kept in the audit table with the time\n"
    "                      and the operator; then end\n"
    "  --unhide ID, --unhide-name NAME\n"
    "                      show it again, noted the same way\n"
    "  --why TEXT          the reason for --hide or --unhide\n"
    "POST /api/games takes a .kvr (gzip-compressed or not; ?game=best|last|FRAME) as\n"
    "application/octet-stream and answers 202 with the submission to follow:\n"
    "GET /api/submissions/ID says queued, verifying, stored (with the game) or refused.\n"
    "GET /api/top?limit=N&since=DAYS&all=1, /api/games/ID, /api/games/ID/recording and /\n"
    "read. GET /healthz says whether the store answers, with the queue's depth; GET /metrics\n"
    "counts uploads by outcome, replay times, the queue, connections and verifiers for\n"
    "Prometheus.\n"
    "Ranked play: each UTC day has one field, its seed made from the board's secret (kept in\n"
    "its database). GET /api/daily says today's date, the time left, and a commitment to\n"
    "tomorrow's seed, revealed with yesterday's; POST /api/attempts issues an attempt at\n"
    "today's field (koravel --daily asks for one), and a game uploaded under it is ranked on\n"
    "GET /api/daily/DATE when a person played it, first in its run, on that seed, no faster\n"
    "than real time and within the day. A day's recordings are hidden until it ends.\n"
    "KORAVEL_BOARD_CLOCK=FILE moves the board's clock by the seconds the file holds (tests).\n";

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "koravel-board: %s\n%s", why.c_str(), kUsage);
    std::exit(2);
}

std::string Next(int& i, int argc, char** argv) {
    if (i + 1 >= argc) Fail(std::string(argv[i]) + " needs a value");
    return argv[++i];
}

// An option that takes a whole number: its range, and the setting it goes to.
struct NumberOption {
    int64_t low, high;
    int* setting;
};

// A moderator's act from the host's command line, noted with who did it.
int Moderate(Store& store, Moderation act, const std::string& why) {
    act.why = why;
    act.at = store.Now();
    const passwd* user = ::getpwuid(::getuid());
    act.by = user ? user->pw_name : "uid " + std::to_string(::getuid());
    const std::string what = act.game ? "game " + std::to_string(act.game) : "the name " + act.name;
    try {
        if (!store.Moderate(act)) {
            std::fprintf(
                stderr, "koravel-board: %s\n",
                (act.hide || act.game ? "no " + what + " on this board" : what + " was not hidden")
                    .c_str());
            return 1;
        }
    } catch (const StoreFailure& e) {
        std::fprintf(stderr, "koravel-board: %s\n", e.what());
        return 1;
    }
    std::printf("koravel-board: %s is %s\n", what.c_str(), act.hide ? "hidden" : "shown again");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    BoardSettings s;
    const std::map<std::string, NumberOption> kNumbers = {
        {"--verifiers", {0, 64, &s.verifiers.count}},
        {"--queue", {0, 10000, &s.queue}},
        {"--verify-seconds", {1, 3600, &s.verifiers.limits.wallSeconds}},
        {"--connections", {16, 100000, &s.front.connections}},
        {"--per-client", {1, 100000, &s.front.perClient}},
        {"--request-seconds", {1, 3600, &s.front.requestSeconds}},
        {"--idle-seconds", {1, 3600, &s.front.idleSeconds}},
    };
    std::string db;
    std::string backup; // --backup: copy the database there and end
    bool worker = false;
    std::optional<Moderation> act; // --hide and the like: done at once, and the board ends
    std::string reason;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        int64_t n = 0;
        if (arg == "--help" || arg == "-h") {
            std::printf("%s%s", kUsage, kHelp);
            return 0;
        } else if (arg == "--version") {
            std::printf("koravel-board %s\n", KORAVEL_VERSION);
            return 0;
        } else if (arg == "--listen") {
            const std::string value = Next(i, argc, argv);
            const auto colon = value.rfind(':');
            if (colon == std::string::npos || colon == 0 ||
                !ParseWholeNumber(value.substr(colon + 1), 0, 65535, n))
                Fail("--listen needs ADDR:PORT, not '" + value + "'");
            s.front.host = value.substr(0, colon);
            if (s.front.host.size() > 2 && s.front.host.front() == '[' &&
                s.front.host.back() == ']')
                s.front.host = s.front.host.substr(1, s.front.host.size() - 2);
            s.front.port = int(n);
        } else if (arg == "--db") {
            db = Next(i, argc, argv);
        } else if (arg == "--web") {
            s.web = Next(i, argc, argv);
        } else if (arg == "--sim") {
            s.verifiers.sim = Next(i, argc, argv);
        } else if (arg == "--access-log") {
            s.front.accessLog = Next(i, argc, argv);
        } else if (arg == "--worker") {
            worker = true;
        } else if (arg == "--behind-proxy") {
            s.front.behindProxy = true;
        } else if (arg == "--backup") {
            backup = Next(i, argc, argv);
        } else if (arg == "--hide" || arg == "--unhide" || arg == "--hide-name" ||
                   arg == "--unhide-name") {
            if (act) Fail("one of --hide, --unhide, --hide-name or --unhide-name at a time");
            act.emplace();
            act->hide = arg.rfind("--hide", 0) == 0;
            const std::string target = Next(i, argc, argv);
            if (arg.find("-name") == std::string::npos) {
                if (!ParseWholeNumber(target, 1, INT64_MAX, act->game))
                    Fail(arg + " needs a game's number, not '" + target + "'");
            } else if (target.empty() || target.size() > 64) {
                Fail(arg + " needs a name as the game shows it");
            } else {
                act->name = target;
            }
        } else if (arg == "--why") {
            reason = Next(i, argc, argv);
        } else if (const auto number = kNumbers.find(arg); number != kNumbers.end()) {
            const auto& [low, high, setting] = number->second;
            if (!ParseWholeNumber(Next(i, argc, argv), low, high, n))
                Fail(arg + " needs " + std::to_string(low) + " to " + std::to_string(high));
            *setting = int(n);
        } else {
            Fail("unknown option '" + arg + "'");
        }
    }
    // A client gone mid-answer, or a closed log pipe, is an error of that write, not the end.
    std::signal(SIGPIPE, SIG_IGN);
    std::string& sim = s.verifiers.sim;
    if (sim.empty()) sim = ProgramFolder() + "/koravel-sim";
    if (::access(sim.c_str(), X_OK) != 0) Fail("no koravel-sim at " + sim + " (see --sim)");
    const bool shared = IsPostgresUri(db);
    if (s.verifiers.count == 0 && (worker || !shared))
        Fail(worker ? "a worker needs --verifiers 1 or more"
                    : "--verifiers 0 needs a PostgreSQL --db that workers verify for");
    if (db.empty()) {
        db = UserDataPath("board.sqlite3");
        if (db.empty()) Fail("no HOME to keep the board in: name a file with --db");
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(db).parent_path(), ec);
    }
    if (!backup.empty() && shared)
        Fail("back a PostgreSQL board up with pg_dump (see the README), not --backup");
    if (!backup.empty()) {
        std::string why;
        if (!BackupSqlite(db, backup, why)) {
            std::fprintf(stderr, "koravel-board: cannot back %s up to %s: %s\n", db.c_str(),
                         backup.c_str(), why.c_str());
            return 1;
        }
        std::printf("koravel-board: %s backed up to %s\n", db.c_str(), backup.c_str());
        return 0;
    }
    if (!reason.empty() && !act) Fail("--why gives the reason for --hide or --unhide");
    if (act && act->hide && reason.empty())
        Fail("say why with --why TEXT: it is kept with the act");
    std::unique_ptr<Store> store;
    try {
        store = OpenStore(db);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "koravel-board: cannot keep the board in %s: %s\n",
                     Redacted(db).c_str(), e.what());
        return 1;
    }
    if (act) return Moderate(*store, *act, reason);
    // Uploads wait in the database: room for them is looked for where it lives, when here.
    s.dbFolder = shared ? "" : std::filesystem::absolute(db).parent_path().string();
    std::string error;
    s.verifiers.workFolder = PrepareWorkFolder(error);
    if (s.verifiers.workFolder.empty()) {
        std::fprintf(stderr, "koravel-board: no folder to verify in: %s\n", error.c_str());
        return 1;
    }
    // SIGINT and SIGTERM end the server from a thread of its own: stopping is not a thing a
    // signal handler may do.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    std::thread([stop] {
        int sig = 0;
        sigwait(&stop, &sig);
        StopBoard();
    }).detach();
    const bool served = worker ? RunWorker(s.verifiers, *store, Redacted(db)) : RunBoard(s, *store);
    std::error_code ec;
    std::filesystem::remove_all(s.verifiers.workFolder, ec);
    return served ? 0 : 1;
}
