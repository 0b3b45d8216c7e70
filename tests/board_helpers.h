// koravel-board started for real on loopback, and the clients that meet it: the game's own
// client library, plain sockets for the rude ones, and a follower of submissions to their
// verdict. Shared by the board's tests and its load bench.
#pragma once
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

namespace board_test {

namespace fs = std::filesystem;
using nlohmann::json;

inline std::string ReadAllOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A free port the kernel never hands out by itself: below the ephemeral range, so no other
// test's outgoing connection or port-0 listener can take it while a killed board restarts.
inline int QuietPort() {
    int low = 32768, high = 60999;
    std::ifstream("/proc/sys/net/ipv4/ip_local_port_range") >> low >> high;
    const int floor = 10000, span = std::max(1, low - floor);
    unsigned pick = unsigned(::getpid()) * 2654435761u;
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

// koravel-board on a free port of 127.0.0.1 (or the one asked for), with a temporary folder of
// its own under `dir`, its stderr kept in dir/board-err.txt; stopped with the test.
struct Board {
    pid_t pid = -1;
    int port = 0;
    fs::path dir, db;
    std::string said; // its first line, or why it did not start

    Board(const fs::path& folder, const fs::path& database, std::vector<std::string> extra = {},
          int askPort = 0)
        : dir(folder), db(database) {
        ::signal(SIGPIPE, SIG_IGN); // the board may close a connection before reading it all
        fs::create_directories(dir / "tmp");
        int out[2];
        if (::pipe(out) != 0) return;
        std::vector<std::string> args = {
            KORAVEL_BOARD, "--listen", "127.0.0.1:" + std::to_string(askPort), "--db", db.string()};
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
        // "koravel-board: listening on http://127.0.0.1:PORT/"
        const auto colon = said.rfind(':');
        if (said.find("listening") != std::string::npos && colon != std::string::npos)
            port = std::atoi(said.c_str() + colon + 1);
        if (port == 0) {
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
    for (int i = 0; i < 6000; ++i) {
        const auto r = client.Get(location);
        if (r && r->status == 200) {
            json body = json::parse(r->body);
            if (body["state"] == "stored" || body["state"] == "refused") {
                body["status"] = 202;
                return body;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
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

inline double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

inline double MsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

} // namespace board_test
