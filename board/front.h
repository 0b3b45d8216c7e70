// The board's HTTP front on libmicrohttpd: a few event-driven threads serve every connection, so
// slow or idle clients cost a socket each, not a thread. Every request has a deadline from its
// first line to its answer, idle connections are closed, connections are limited in all and
// per client address, and headers that could frame a request two ways are refused.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct MHD_Connection;

struct FrontSettings {
    std::string host = "127.0.0.1";
    int port = 8642; // 0: any free port
    int threads = 4; // event loops
    int connections = 4000;
    int perClient = 64;      // connections from one address
    int requestSeconds = 30; // first line to answer, body included
    int idleSeconds = 15;    // a kept-open connection between requests
    size_t maxBody = 4 << 20;
    size_t bodyBudget = 64 << 20; // bodies being received at once, in all
    // One line per request answered ("-": standard output; empty: none).
    std::string accessLog;
    // A proxy in front (nginx) says who the client is in X-Forwarded-For and limits each client
    // itself: every connection comes from the proxy's address.
    bool behindProxy = false;
};

// One answer: a body in memory, or an open file sent as it is.
struct Reply {
    int status = 200;
    std::string body;
    std::string type = "application/json";
    std::vector<std::pair<std::string, std::string>> headers;
    int file = -1; // sent and closed by the front
    uint64_t fileSize = 0;
    bool close = false; // close the connection after it (a body left unread)
};

// What a handler sees of a request whose headers are in.
class RequestHead {
  public:
    RequestHead(MHD_Connection* c, std::string method, std::string path)
        : c_(c), method_(std::move(method)), path_(std::move(path)) {}
    const std::string& Method() const { return method_; }
    const std::string& Path() const { return path_; }
    std::optional<std::string> Header(const char* name) const;
    std::optional<std::string> Arg(const char* name) const;
    bool HasArg(const char* name) const { return Arg(name).has_value(); }
    // The Content-Length, when there is exactly one.
    std::optional<uint64_t> ContentLength() const;

  private:
    MHD_Connection* c_;
    std::string method_, path_;
};

struct Routes {
    // Called when a request's headers are in. A reply answers it now; nothing means "read the
    // body" (for a request with one, at most maxBody bytes), then `Body` answers.
    std::function<std::optional<Reply>(const RequestHead&)> Head;
    std::function<Reply(const RequestHead&, std::string&& body)> Body;
};

// Serves until StopFront(); prints the address it listens on. False, with one line on stderr,
// when it cannot listen.
bool RunFront(const FrontSettings& settings, const Routes& routes);
void StopFront();
// Connections open now.
size_t OpenConnections();
// One line on stderr, at most a few a second however many the board has to say.
void LogLine(const std::string& line);
