// koravel-board started for real on loopback, and the clients that meet it: the game's own
// client library, plain sockets for the rude ones, and a follower of submissions to their
// verdict. Shared by the board's tests and its load bench.
#pragma once
#include <arpa/inet.h>
#include <fcntl.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

namespace board_test {

namespace fs = std::filesystem;
using nlohmann::json;

// A file's bytes; empty for one that is not there, is a folder, or went away mid-read (/proc).
inline std::string ReadAllOf(const fs::path& path) {
    try {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    } catch (const std::exception&) { return ""; }
}

// A free port the kernel never hands out by itself: below the ephemeral range, so no other
// test's outgoing connection or port-0 listener can take it while a killed board restarts.
inline int QuietPort() {
    int low = 32768, high = 60999;
    std::ifstream("/proc/sys/net/ipv4/ip_local_port_range") >> low >> high;
    const int floor = 10000, span = std::max(1, low - floor);
    static unsigned given = 0; // a port handed out is not handed out again
    unsigned pick = unsigned(::getpid()) * 2654435761u + 40503u * given++;
    for (int tries = 0; tries < 200; ++tries, pick = pick * 1103515245u + 12345u) {
        const int port = floor + int(pick % unsigned(span));
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        if (free) return port;
    }
    return 0;
}

// The throwaway PostgreSQL server the tests run against when KORAVEL_TEST_POSTGRES names the
// file holding its URI (tools/postgres_cluster.sh writes it); empty: the tests use SQLite.
inline std::string PostgresServer() {
    const char* file = std::getenv("KORAVEL_TEST_POSTGRES");
    if (!file) return "";
    std::string uri;
    std::ifstream(file) >> uri;
    if (uri.empty()) throw std::runtime_error(std::string("no PostgreSQL URI in ") + file);
    return uri;
}

// One SQL command on the test server's database `db` (its maintenance database when empty);
// the first row's first column, or why it failed.
inline std::string Sql(const std::string& db, const std::string& sql) {
    std::string uri = PostgresServer();
    if (!db.empty()) uri = uri.substr(0, uri.rfind('/') + 1) + db;
    PGconn* c = PQconnectdb(uri.c_str());
    PQsetNoticeProcessor(
        c, [](void*, const char*) {}, nullptr);
    PGresult* r = PQexec(c, sql.c_str());
    std::string out =
        PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0 ? PQgetvalue(r, 0, 0)
        : PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK
            ? ""
            : std::string("error: ") + PQerrorMessage(c);
    PQclear(r);
    PQfinish(c);
    return out;
}

// A shell command's status and what it printed, kept in `dir`.
inline std::pair<int, std::string> Shell(const std::string& command, const fs::path& dir) {
    const fs::path out = dir / "shell.txt";
    const int raw = std::system((command + " >" + out.string() + " 2>&1").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAllOf(out)};
}

// The first row's first column of one query on a SQLite file.
inline std::string SqliteValue(const fs::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    std::string out;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_exec(
        db, sql.c_str(),
        [](void* to, int, char** v, char**) {
            *static_cast<std::string*>(to) = v[0] ? v[0] : ""; // NULL reads as empty
            return 0;
        },
        &out, nullptr);
    sqlite3_close(db);
    return out;
}

// Where a board keeps its games. On SQLite, the file; on PostgreSQL, a database of its own for
// each file name, made new whenever the file is missing (a marker file stands for it), so that
// tests written for files work on both.
inline std::string StoreFor(const fs::path& file) {
    if (PostgresServer().empty()) return file.string();
    if (!fs::exists(file)) {
        std::string name = "k"; // (appended, not concatenated: GCC 12's -Wrestrict misfires)
        name += std::to_string(std::hash<std::string>{}(fs::absolute(file).string()) % 1000000007);
        Sql("", "DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
        const std::string made = Sql("", "CREATE DATABASE " + name);
        if (!made.empty()) throw std::runtime_error(made);
        std::ofstream(file) << name;
    }
    const std::string uri = PostgresServer();
    return uri.substr(0, uri.rfind('/') + 1) + ReadAllOf(file);
}

inline bool OnPostgres() { return !PostgresServer().empty(); }

// Blocks until `done()` holds, woken by what the boards write to their logs (each verdict is a
// line there) rather than by a timer, and false once `seconds` have passed. A wake-up at least
// every second stands in for a verdict written by a host whose log is not watched.
constexpr double kVerdictSeconds = 400;
inline bool WaitOnLogs(const std::vector<fs::path>& logs, double seconds,
                       const std::function<bool()>& done) {
    const int fd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    for (const auto& log : logs)
        if (fd >= 0) ::inotify_add_watch(fd, log.c_str(), IN_MODIFY);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    bool ok;
    while (!(ok = done()) && std::chrono::steady_clock::now() < end) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, fd >= 0 ? 1 : 0, int(std::clamp<int64_t>(left, 0, 1000)));
        char events[4096];
        while (fd >= 0 && ::read(fd, events, sizeof events) > 0) {}
    }
    if (fd >= 0) ::close(fd);
    return ok;
}

// koravel-board on a free port of 127.0.0.1 (or the one asked for), with a temporary folder of
// its own under `dir`, its stderr kept in dir/board-err.txt; stopped with the test.
struct Board {
    pid_t pid = -1;
    int port = 0;
    fs::path dir, db;
    std::string said;    // its first line, or why it did not start
    bool worker = false; // a --worker, which serves nothing

    Board(const fs::path& folder, const fs::path& database, std::vector<std::string> extra = {},
          int askPort = 0)
        : dir(folder), db(database) {
        ::signal(SIGPIPE, SIG_IGN); // the board may close a connection before reading it all
        fs::create_directories(dir / "tmp");
        int out[2];
        if (::pipe(out) != 0) return;
        std::vector<std::string> args = {KORAVEL_BOARD};
        if (std::find(extra.begin(), extra.end(), "--worker") == extra.end())
            args.insert(args.end(), {"--listen", "127.0.0.1:" + std::to_string(askPort)});
        args.insert(args.end(), {"--db", StoreFor(db)});
        args.insert(args.end(), extra.begin(), extra.end());
        const std::string tmp = "TMPDIR=" + (dir / "tmp").string();
        const std::string err = (dir / "board-err.txt").string();
        pid = ::fork();
        if (pid == 0) {
            ::dup2(out[1], 1);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            if (e >= 0) ::dup2(e, 2);
            ::putenv(const_cast<char*>(tmp.c_str()));
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        char c;
        while (::read(out[0], &c, 1) == 1 && c != '\n') said += c;
        ::close(out[0]);
        // "koravel-board: listening on http://127.0.0.1:PORT/"; a worker says "verifying".
        const auto colon = said.rfind(':');
        if (said.find("listening") != std::string::npos && colon != std::string::npos)
            port = std::atoi(said.c_str() + colon + 1);
        if (said.find("verifying") != std::string::npos) worker = true;
        if (port == 0 && !worker) {
            Kill(SIGKILL);
            said = ReadAllOf(dir / "board-err.txt");
        }
    }
    ~Board() { Kill(SIGTERM); }
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    void Kill(int sig) {
        if (pid <= 0) return;
        ::kill(pid, sig);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port); }
    httplib::Client Client() const {
        httplib::Client c(Url());
        c.set_read_timeout(60);
        c.set_connection_timeout(10);
        return c;
    }
    std::string Log() const { return ReadAllOf(dir / "board-err.txt"); }
    // The board's resident memory in kB.
    long RssKb() const {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
        return 0;
    }
};

inline httplib::Result Post(const Board& b, const std::string& body,
                            const std::string& query = "") {
    return b.Client().Post("/api/games" + query, body, "application/octet-stream");
}

// The submission a 202 named, followed to its verdict (stored or refused); or, for any other
// answer, that answer's body with its status.
inline json Verdict(const Board& b, const httplib::Result& sent) {
    if (!sent) return {{"status", -1}};
    if (sent->status != 202) {
        json body = json::parse(sent->body, nullptr, false);
        if (!body.is_object()) body = json::object();
        body["status"] = sent->status;
        return body;
    }
    const std::string location = sent->get_header_value("Location");
    auto client = b.Client();
    json body;
    const auto decided = [&] {
        const auto r = client.Get(location);
        if (!r || r->status != 200) return false;
        body = json::parse(r->body);
        return body["state"] == "stored" || body["state"] == "refused";
    };
    // Long enough for a queue of replays each at the board's own time limit (eight gzip bombs,
    // two verifiers, up to 60 s each) on a machine slowed by a sanitizer and other tests.
    if (WaitOnLogs({b.dir / "board-err.txt"}, kVerdictSeconds, decided)) {
        body["status"] = 202;
        return body;
    }
    return {{"status", 202}, {"state", "no verdict"}};
}

inline json Send(const Board& b, const std::string& body, const std::string& query = "") {
    return Verdict(b, Post(b, body, query));
}

// A plain TCP connection to the board from a loopback address of our choosing (127.0.0.0/8 is
// all loopback), so that one test can be many clients.
inline int Connect(int port, const std::string& from = "127.0.0.1") {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{}, remote{};
    local.sin_family = remote.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    ::inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
    remote.sin_port = htons(uint16_t(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

inline bool SendAll(int fd, const std::string& text) {
    for (size_t at = 0; at < text.size();) {
        const ssize_t n = ::send(fd, text.data() + at, text.size() - at, MSG_NOSIGNAL);
        if (n <= 0) return false;
        at += size_t(n);
    }
    return true;
}

// Everything the board answers on a raw connection until it closes it (or `seconds` pass).
inline std::string Answer(int fd, int seconds = 20) {
    timeval limit{seconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::string all;
    char buffer[65536];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) all.append(buffer, size_t(n));
    return all;
}

// A raw request and the board's whole answer; the connection asks to be closed after it.
inline std::string RawRequest(int port, const std::string& request) {
    const int fd = Connect(port);
    if (fd < 0) return "";
    SendAll(fd, request);
    const std::string answer = Answer(fd);
    ::close(fd);
    return answer;
}

// Room for a few thousand sockets in this process; how many it may open.
inline int MoreFiles() {
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = std::min<rlim_t>(files.rlim_max, 8192);
    ::setrlimit(RLIMIT_NOFILE, &files);
    return int(files.rlim_cur);
}

inline std::string GzipOf(const std::string& text, int level = 9) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = uInt(text.size());
    std::string out(deflateBound(&z, uLong(text.size())), '\0');
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

} // namespace board_test
