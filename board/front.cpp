#include "board/front.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>
#include <unordered_set>

namespace {

int64_t NowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A connection as the deadlines see it.
struct Conn {
    int fd = -1;
    int64_t idleSince = 0;    // its last answer, or its opening
    int64_t requestSince = 0; // the first line of the request in progress, or 0
    bool cut = false;
};

// A request in progress.
struct Request {
    bool started = false, answered = false;
    int64_t startUs = 0;            // its headers in
    int status = 0;                 // its answer's
    uint64_t bytes = 0;             // its answer's body
    std::optional<Reply> afterBody; // a refusal kept until the body it refuses has been read
    std::optional<RequestHead> head;
    std::string body;
    size_t expected = 0, budgeted = 0;
};

struct Front {
    const FrontSettings* settings = nullptr;
    const Routes* routes = nullptr;
    std::mutex connMutex;
    std::unordered_set<Conn*> conns;
    std::atomic<size_t> bodies{0};
    std::mutex stopMutex;
    std::condition_variable stopped;
    bool stopping = false;
    std::mutex logMutex;
    FILE* accessLog = nullptr;
};

Front front;

Conn* ConnOf(MHD_Connection* c) {
    const auto* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info ? static_cast<Conn*>(info->socket_context) : nullptr;
}

void OnConnection(void*, MHD_Connection* c, void** context, MHD_ConnectionNotificationCode code) {
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        auto* conn = new Conn;
        if (const auto* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD)) {
            conn->fd = info->connect_fd;
            // Small answers go out at once, not after the client's delayed acknowledgement.
            const int one = 1;
            ::setsockopt(conn->fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        }
        conn->idleSince = NowMs();
        std::lock_guard lock(front.connMutex);
        front.conns.insert(conn);
        *context = conn;
    } else if (auto* conn = static_cast<Conn*>(*context)) {
        // Removed before libmicrohttpd closes the socket: the sweeper never touches a closed one.
        std::lock_guard lock(front.connMutex);
        front.conns.erase(conn);
        delete conn;
        *context = nullptr;
    }
}

// The request's clock starts at its first line. Its state is made only when its headers are in
// (libmicrohttpd reports the end only of requests whose headers came whole).
void* OnFirstLine(void*, const char*, MHD_Connection* c) {
    if (Conn* conn = ConnOf(c)) {
        std::lock_guard lock(front.connMutex);
        conn->requestSince = NowMs();
    }
    return nullptr;
}

// The address the proxy in front saw: the last of X-Forwarded-For (the ones before it are the
// client's own say), if it is an address at all.
std::optional<std::string> ForwardedFor(const RequestHead& head) {
    const auto forwarded = head.Header("X-Forwarded-For");
    if (!forwarded) return std::nullopt;
    std::string last = forwarded->substr(forwarded->rfind(',') + 1);
    last.erase(0, last.find_first_not_of(' '));
    last.erase(last.find_last_not_of(' ') + 1);
    unsigned char bytes[sizeof(in6_addr)];
    if (::inet_pton(AF_INET, last.c_str(), bytes) != 1 &&
        ::inet_pton(AF_INET6, last.c_str(), bytes) != 1)
        return std::nullopt;
    return last;
}

// "CLIENT METHOD PATH STATUS BYTES MS": one line a request answered.
void LogAccess(MHD_Connection* c, const Request& req) {
    char client[INET6_ADDRSTRLEN] = "-";
    if (const auto* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS)) {
        const sockaddr* a = info->client_addr;
        const socklen_t size =
            a->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        ::getnameinfo(a, size, client, sizeof client, nullptr, 0, NI_NUMERICHOST);
    }
    std::string who = client;
    if (front.settings->behindProxy) who = ForwardedFor(*req.head).value_or(who);
    std::string path = req.head->Path();
    for (char& ch : path)
        if (static_cast<unsigned char>(ch) <= 0x20 || ch == 0x7f) ch = '?'; // one line, one field
    std::lock_guard lock(front.logMutex);
    std::fprintf(front.accessLog, "%s %s %s %d %llu %.1f\n", who.c_str(),
                 req.head->Method().c_str(), path.substr(0, 512).c_str(), req.status,
                 static_cast<unsigned long long>(req.bytes), double(NowUs() - req.startUs) / 1000);
    std::fflush(front.accessLog);
}

void OnCompleted(void*, MHD_Connection* c, void** context, MHD_RequestTerminationCode) {
    auto* req = static_cast<Request*>(*context);
    if (req && req->status && req->head && front.accessLog) LogAccess(c, *req);
    if (req) front.bodies -= req->budgeted;
    delete req;
    *context = nullptr;
    if (Conn* conn = ConnOf(c)) {
        std::lock_guard lock(front.connMutex);
        conn->requestSince = 0;
        conn->idleSince = NowMs();
    }
}

// Requests past their deadline and idle connections past theirs are cut: the event loop sees
// the socket shut and closes it.
void Sweep() {
    const int64_t now = NowMs();
    const int64_t requestMs = int64_t(front.settings->requestSeconds) * 1000;
    const int64_t idleMs = int64_t(front.settings->idleSeconds) * 1000;
    std::lock_guard lock(front.connMutex);
    for (Conn* conn : front.conns) {
        const bool late = conn->requestSince ? now - conn->requestSince > requestMs
                                             : now - conn->idleSince > idleMs;
        if (late && !conn->cut && conn->fd >= 0) {
            ::shutdown(conn->fd, SHUT_RDWR);
            conn->cut = true;
        }
    }
}

// %XX decoded in place; a NUL becomes a control character, which the paths refuse, so that
// "index.html%00.txt" is never taken for "index.html".
size_t Unescape(void*, MHD_Connection*, char* s) {
    auto hex = [](char ch) {
        return ch >= '0' && ch <= '9'   ? ch - '0'
               : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
               : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                                        : -1;
    };
    char* out = s;
    for (const char* in = s; *in; ++in) {
        if (in[0] == '%' && in[1] && in[2] && hex(in[1]) >= 0 && hex(in[2]) >= 0) {
            const char c = char(hex(in[1]) * 16 + hex(in[2]));
            *out++ = c == '\0' ? '\x01' : c;
            in += 2;
        } else {
            *out++ = *in;
        }
    }
    *out = '\0';
    return size_t(out - s);
}

void OnLibraryLog(void*, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    LogLine("libmicrohttpd: " + line);
}

MHD_Result Send(MHD_Connection* c, Request& req, Reply& reply) {
    req.status = reply.status;
    req.bytes = reply.file >= 0 ? reply.fileSize : reply.body.size();
    MHD_Response* response =
        reply.file >= 0 ? MHD_create_response_from_fd(reply.fileSize, reply.file)
                        : MHD_create_response_from_buffer(reply.body.size(), reply.body.data(),
                                                          MHD_RESPMEM_MUST_COPY);
    if (!response) {
        if (reply.file >= 0) ::close(reply.file);
        return MHD_NO;
    }
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.type.c_str());
    for (const auto& [name, value] : reply.headers)
        MHD_add_response_header(response, name.c_str(), value.c_str());
    if (reply.close) MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result queued = MHD_queue_response(c, unsigned(reply.status), response);
    MHD_destroy_response(response);
    return queued;
}

Reply Refusal(int status, const std::string& why) {
    Reply r;
    r.status = status;
    r.body = nlohmann::json{{"error", why}}.dump();
    r.close = true;
    return r;
}

int CountHeader(MHD_Connection* c, const char* name) {
    struct Count {
        const char* name;
        int n;
    } count{name, 0};
    MHD_get_connection_values(
        c, MHD_HEADER_KIND,
        [](void* cls, MHD_ValueKind, const char* key, const char*) {
            auto* k = static_cast<Count*>(cls);
            if (strcasecmp(key, k->name) == 0) ++k->n;
            return MHD_YES;
        },
        &count);
    return count.n;
}

// What every request must be before any handler sees it.
std::optional<Reply> CheckFraming(const RequestHead& head, MHD_Connection* c) {
    for (unsigned char ch : head.Path())
        if (ch < 0x20 || ch == 0x7f) return Refusal(400, "the path holds a control character");
    const int lengths = CountHeader(c, MHD_HTTP_HEADER_CONTENT_LENGTH);
    if (CountHeader(c, MHD_HTTP_HEADER_TRANSFER_ENCODING) > 0 || lengths > 1)
        return Refusal(400, "a body's length must be given once, by one Content-Length");
    const bool takesBody = head.Method() == "POST";
    // A POST without a length has no body (an attempt's, say); one whose length is not a
    // number could be framed two ways.
    if (head.Header(MHD_HTTP_HEADER_CONTENT_LENGTH) && !head.ContentLength())
        return Refusal(400, "the Content-Length is not a number");
    if (!takesBody && head.ContentLength().value_or(0) > 0)
        return Refusal(400, "this request takes no body");
    if (takesBody && head.ContentLength().value_or(0) > front.settings->maxBody)
        return Refusal(413, "the recording is over " +
                                std::to_string(front.settings->maxBody >> 20) + " MiB");
    return std::nullopt;
}

MHD_Result Access(void*, MHD_Connection* c, const char* url, const char* method, const char*,
                  const char* upload, size_t* uploadSize, void** context) {
    auto* req = static_cast<Request*>(*context);
    if (!req) *context = req = new Request;
    if (!req->started) {
        req->started = true;
        req->startUs = NowUs();
        req->head.emplace(c, method, url);
        std::optional<Reply> reply = CheckFraming(*req->head, c);
        if (reply) { // the request's framing cannot be trusted: answer and close now
            req->answered = true;
            return Send(c, *req, *reply);
        }
        reply = front.routes->Head(*req->head);
        if (!reply && req->head->Method() != "POST") reply = Refusal(405, "not a thing to do here");
        if (!reply) {
            req->expected = size_t(req->head->ContentLength().value_or(0));
            return MHD_YES; // the body follows (after "100 Continue" where asked)
        }
        // A body about to come is not wanted. A client that asked "Expect: 100-continue" hears
        // so now; one already sending would not hear an answer given before its body ends, so
        // that body is read and dropped first. libmicrohttpd keeps a connection open only for
        // an answer given after the request is whole, so every other answer waits for that too.
        if (reply->close && req->head->Header(MHD_HTTP_HEADER_EXPECT)) {
            req->answered = true;
            return Send(c, *req, *reply);
        }
        reply->close = false;
        req->afterBody = std::move(reply);
        return MHD_YES;
    }
    if (*uploadSize > 0) {
        const size_t n = *uploadSize;
        *uploadSize = 0;
        if (req->answered || req->afterBody || req->body.size() + n > req->expected) return MHD_YES;
        // Bodies in memory at once are bounded by what has arrived, however many clients send:
        // a slow client holds only the little it has sent.
        if (front.bodies.fetch_add(n) + n > front.settings->bodyBudget) {
            front.bodies -= n + req->budgeted;
            req->budgeted = 0;
            req->body = std::string();
            req->afterBody =
                Refusal(503, "the board is receiving too much at once: try again shortly");
            req->afterBody->headers.emplace_back("Retry-After", "2");
            req->afterBody->close = false;
            return MHD_YES;
        }
        req->budgeted += n;
        req->body.append(upload, n);
        return MHD_YES;
    }
    if (req->answered) return MHD_YES;
    req->answered = true;
    if (req->afterBody) return Send(c, *req, *req->afterBody);
    Reply reply = front.routes->Body(*req->head, std::move(req->body));
    req->body = std::string();
    return Send(c, *req, reply);
}

} // namespace

std::optional<std::string> RequestHead::Header(const char* name) const {
    const char* v = MHD_lookup_connection_value(c_, MHD_HEADER_KIND, name);
    return v ? std::optional<std::string>(v) : std::nullopt;
}

std::optional<std::string> RequestHead::Arg(const char* name) const {
    const char* v = MHD_lookup_connection_value(c_, MHD_GET_ARGUMENT_KIND, name);
    return v ? std::optional<std::string>(v) : std::nullopt;
}

std::optional<uint64_t> RequestHead::ContentLength() const {
    const auto v = Header(MHD_HTTP_HEADER_CONTENT_LENGTH);
    if (!v || v->empty() || v->size() > 18 ||
        v->find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoull(*v);
}

size_t OpenConnections() {
    std::lock_guard lock(front.connMutex);
    return front.conns.size();
}

void LogLine(const std::string& line) {
    static std::mutex mutex;
    static int64_t second = 0;
    static int inSecond = 0, left = 0;
    std::lock_guard lock(mutex);
    const int64_t now = NowMs() / 1000;
    if (now != second) {
        if (left > 0) std::fprintf(stderr, "koravel-board: (%d more lines left out)\n", left);
        second = now;
        inSecond = left = 0;
    }
    if (++inSecond > 10) {
        ++left;
        return;
    }
    std::fprintf(stderr, "koravel-board: %s\n", line.c_str());
}

bool RunFront(const FrontSettings& s, const Routes& routes) {
    front.settings = &s;
    front.routes = &routes;
    if (s.accessLog == "-") {
        front.accessLog = stdout;
    } else if (!s.accessLog.empty() && !(front.accessLog = std::fopen(s.accessLog.c_str(), "ae"))) {
        std::fprintf(stderr, "koravel-board: cannot write the access log %s: %s\n",
                     s.accessLog.c_str(), std::strerror(errno));
        return false;
    }
    // A socket per connection: room for as many as the board allows.
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0) {
        const rlim_t want = rlim_t(s.connections) + 256;
        if (files.rlim_cur < want) {
            files.rlim_cur = std::min(want, files.rlim_max);
            ::setrlimit(RLIMIT_NOFILE, &files);
        }
    }
    addrinfo hints{}, *found = nullptr;
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    const std::string port = std::to_string(s.port);
    if (::getaddrinfo(s.host.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
        std::fprintf(stderr, "koravel-board: cannot listen on %s:%d: no such address\n",
                     s.host.c_str(), s.port);
        return false;
    }
    sockaddr_storage address{};
    std::memcpy(&address, found->ai_addr, found->ai_addrlen);
    const bool v6 = found->ai_family == AF_INET6;
    ::freeaddrinfo(found);
    unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ERROR_LOG;
    if (v6) flags |= MHD_USE_IPv6;
    MHD_Daemon* daemon = MHD_start_daemon(
        flags, uint16_t(s.port), nullptr, nullptr, &Access, nullptr, MHD_OPTION_EXTERNAL_LOGGER,
        &OnLibraryLog, nullptr, // first, to hear everything
        MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&address), MHD_OPTION_THREAD_POOL_SIZE,
        unsigned(s.threads), MHD_OPTION_CONNECTION_LIMIT, unsigned(s.connections),
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, unsigned(s.behindProxy ? s.connections : s.perClient),
        MHD_OPTION_CONNECTION_TIMEOUT, unsigned(s.idleSeconds), MHD_OPTION_LISTEN_BACKLOG_SIZE,
        1024u, MHD_OPTION_NOTIFY_CONNECTION, &OnConnection, nullptr, MHD_OPTION_URI_LOG_CALLBACK,
        &OnFirstLine, nullptr, MHD_OPTION_NOTIFY_COMPLETED, &OnCompleted, nullptr,
        MHD_OPTION_UNESCAPE_CALLBACK, &Unescape, nullptr, MHD_OPTION_END);
    if (!daemon) {
        std::fprintf(stderr, "koravel-board: cannot listen on %s:%d (%s)\n", s.host.c_str(), s.port,
                     std::strerror(errno ? errno : EADDRINUSE));
        return false;
    }
    const auto* bound = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT);
    std::printf("koravel-board: listening on http://%s%s%s:%d/\n", v6 ? "[" : "", s.host.c_str(),
                v6 ? "]" : "", bound ? int(bound->port) : s.port);
    std::fflush(stdout);
    {
        std::unique_lock lock(front.stopMutex);
        while (!front.stopping) {
            front.stopped.wait_for(lock, std::chrono::milliseconds(200));
            lock.unlock();
            Sweep();
            lock.lock();
        }
    }
    MHD_stop_daemon(daemon);
    return true;
}

void StopFront() {
    std::lock_guard lock(front.stopMutex);
    front.stopping = true;
    front.stopped.notify_all();
}
