// The board's games and uploads in PostgreSQL, shared by any number of front ends and verifier
// workers. Every statement is prepared on each connection and takes its values as parameters:
// nothing from a request ever becomes SQL text. Jobs are taken with FOR UPDATE SKIP LOCKED, so
// verifiers on many hosts never wait on one another, and leases run on the server's clock, so
// hosts need not agree on the time.
#include <libpq-fe.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

#include "board/store.h"

namespace {

// The first line of a libpq message: they end in a newline and sometimes say more below.
std::string FirstLine(const char* message) {
    std::string line = message ? message : "";
    line = line.substr(0, line.find('\n'));
    return line.empty() ? "the server gave no reason" : line;
}

// One parameter, as text or as raw bytes (the recordings).
struct Arg {
    std::string value;
    bool bytes = false;
    Arg(int64_t v) : value(std::to_string(v)) {}
    Arg(const std::string& v, bool raw = false) : value(v), bytes(raw) {}
};
Arg Bytes(const std::string& v) { return Arg(v, true); }

class Result {
  public:
    explicit Result(PGresult* r) : r_(r) {}
    ~Result() { PQclear(r_); }
    Result(Result&& other) noexcept : r_(other.r_) { other.r_ = nullptr; }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;

    int Rows() const { return PQntuples(r_); }
    int64_t Int(int row, int col) const {
        return std::strtoll(PQgetvalue(r_, row, col), nullptr, 10);
    }
    std::string Text(int row, int col) const {
        return std::string(PQgetvalue(r_, row, col), size_t(PQgetlength(r_, row, col)));
    }
    // A bytea column, sent as text in hex.
    std::string Bytea(int row, int col) const {
        size_t length = 0;
        unsigned char* raw = PQunescapeBytea(
            reinterpret_cast<const unsigned char*>(PQgetvalue(r_, row, col)), &length);
        if (!raw) throw StoreFailure("out of memory reading a recording");
        std::string bytes(reinterpret_cast<char*>(raw), length);
        PQfreemem(raw);
        return bytes;
    }
    PGresult* raw() const { return r_; }
    int64_t Affected() const { return std::strtoll(PQcmdTuples(r_), nullptr, 10); }

  private:
    PGresult* r_;
};

// One server connection and the statements prepared on it.
struct Connection {
    PGconn* conn = nullptr;
    std::map<std::string, bool> prepared;
    ~Connection() { PQfinish(conn); }
};

PGconn* Connect(const std::string& uri) {
    // Our defaults first: what the URI says wins.
    const char* keys[] = {"connect_timeout", "application_name", "options", "dbname", nullptr};
    const char* values[] = {"10", "koravel-board",
                            "-c statement_timeout=30000 -c lock_timeout=10000", uri.c_str(),
                            nullptr};
    PGconn* conn = PQconnectdbParams(keys, values, 1);
    // The server's notices ("already exists, skipping") are not the operator's business.
    if (conn)
        PQsetNoticeProcessor(
            conn, [](void*, const char*) {}, nullptr);
    return conn;
}

// The tables, made when missing, in one transaction under a lock: front ends and workers
// starting together make them once.
constexpr const char* kSchema =
    "BEGIN;"
    "SELECT pg_advisory_xact_lock(7242031);"
    "CREATE TABLE IF NOT EXISTS games ("
    " id BIGSERIAL PRIMARY KEY,"
    " score INTEGER NOT NULL, level INTEGER NOT NULL, frames BIGINT NOT NULL,"
    " name TEXT NOT NULL, submitted BIGINT NOT NULL,"
    " rules INTEGER NOT NULL DEFAULT 1, verifier TEXT NOT NULL DEFAULT '',"
    " recording BYTEA NOT NULL, digest TEXT NOT NULL UNIQUE);"
    "CREATE INDEX IF NOT EXISTS games_by_score ON games (score DESC, id);"
    "CREATE INDEX IF NOT EXISTS games_by_name ON games (name, score DESC, id);"
    "CREATE TABLE IF NOT EXISTS submissions ("
    " id BIGSERIAL PRIMARY KEY, upload TEXT NOT NULL UNIQUE,"
    " which TEXT NOT NULL, state INTEGER NOT NULL, recording BYTEA,"
    " game BIGINT, new_game INTEGER NOT NULL DEFAULT 0, reason TEXT,"
    " submitted BIGINT NOT NULL, attempt BIGINT NOT NULL DEFAULT 0, lease_until BIGINT);"
    "CREATE INDEX IF NOT EXISTS submissions_by_state ON submissions (state, id);"
    "CREATE TABLE IF NOT EXISTS verifiers ("
    " host TEXT PRIMARY KEY, threads INTEGER NOT NULL, seen BIGINT NOT NULL);"
    "COMMIT;";

class PostgresStore final : public Store {
  public:
    explicit PostgresStore(const std::string& uri) : uri_(uri) {
        auto c = Open();
        try {
            Exec(*c, kSchema);
        } catch (const StoreFailure& e) { throw std::runtime_error(e.what()); }
        Release(std::move(c));
    }

    Submission Enqueue(const std::string& recording, const std::string& which,
                       int64_t now) override {
        const std::string upload = Sha256Hex(recording) + ":" + which;
        Pooled c(*this);
        const Result added =
            Run(*c, "enqueue",
                "INSERT INTO submissions (upload, which, state, recording, submitted)"
                " VALUES ($1, $2, 0, $3, $4) ON CONFLICT (upload) DO NOTHING RETURNING id",
                {upload, which, Bytes(recording), now});
        if (added.Rows() == 1)
            return Submission{added.Int(0, 0), SubmissionState::Queued, 0, false, {}};
        const Result found =
            Run(*c, "upload",
                std::string("SELECT ") + kSubmissionColumns + " FROM submissions WHERE upload = $1",
                {upload});
        if (found.Rows() != 1) throw StoreFailure("an upload vanished while it was being kept");
        return SubmissionFrom(found);
    }

    std::optional<Submission> SubmissionById(int64_t id) override {
        Pooled c(*this);
        const Result one = Run(
            *c, "submission",
            std::string("SELECT ") + kSubmissionColumns + " FROM submissions WHERE id = $1", {id});
        if (one.Rows() != 1) return std::nullopt;
        return SubmissionFrom(one);
    }

    int64_t Pending() override {
        Pooled c(*this);
        return Run(*c, "pending", "SELECT count(*) FROM submissions WHERE state < 2", {}).Int(0, 0);
    }

    std::optional<Job> TakeJob(int leaseSeconds) override {
        Pooled c(*this);
        const Result taken = Run(*c, "take",
                                 "UPDATE submissions SET state = 1, attempt = attempt + 1,"
                                 " lease_until = " +
                                     kNow +
                                     " + $1 WHERE id = (SELECT id FROM submissions"
                                     " WHERE state = 0 OR (state = 1 AND lease_until < " +
                                     kNow +
                                     ")"
                                     " ORDER BY id LIMIT 1 FOR UPDATE SKIP LOCKED)"
                                     " RETURNING id, attempt, recording, which",
                                 {int64_t(leaseSeconds)});
        if (taken.Rows() != 1) return std::nullopt;
        return Job{taken.Int(0, 0), taken.Int(0, 1), taken.Bytea(0, 2), taken.Text(0, 3)};
    }

    void ReturnJob(const Job& job) override {
        Pooled c(*this);
        Run(*c, "return",
            "UPDATE submissions SET state = 0 WHERE id = $1 AND state = 1 AND attempt = $2",
            {job.id, job.attempt});
    }

    std::optional<Submission> StoreGame(const Job& job, const BoardGame& g,
                                        const std::string& identity) override {
        Pooled c(*this);
        Transaction t(*this, *c);
        if (Run(*c, "hold",
                "SELECT 1 FROM submissions WHERE id = $1 AND state = 1 AND attempt = $2"
                " FOR UPDATE",
                {job.id, job.attempt})
                .Rows() != 1)
            return std::nullopt;
        Submission sub{job.id, SubmissionState::Stored, 0, false, {}};
        const Result added =
            Run(*c, "add game",
                "INSERT INTO games (score, level, frames, name, submitted, rules, verifier,"
                " recording, digest) SELECT $1, $2, $3, $4, $5, $6, $7, recording, $8"
                " FROM submissions WHERE id = $9 ON CONFLICT (digest) DO NOTHING RETURNING id",
                {int64_t(g.score), int64_t(g.level), int64_t(g.frames), g.name, g.submitted,
                 int64_t(g.rules), g.verifier, identity, job.id});
        if (added.Rows() == 1) {
            sub.game = added.Int(0, 0);
            sub.newGame = true;
        } else {
            const Result found =
                Run(*c, "game by digest", "SELECT id FROM games WHERE digest = $1", {identity});
            if (found.Rows() != 1) throw StoreFailure("a stored game vanished");
            sub.game = found.Int(0, 0);
        }
        Run(*c, "stored",
            "UPDATE submissions SET state = 2, game = $1, new_game = $2, recording = NULL"
            " WHERE id = $3",
            {sub.game, int64_t(sub.newGame), job.id});
        t.Commit();
        return sub;
    }

    bool RefuseJob(const Job& job, const std::string& reason) override {
        Pooled c(*this);
        return Run(*c, "refuse",
                   "UPDATE submissions SET state = 3, reason = $1, recording = NULL"
                   " WHERE id = $2 AND state = 1 AND attempt = $3",
                   {reason, job.id, job.attempt})
                   .Affected() > 0;
    }

    // Front ends and workers come and go while others verify: only leases end a job's turn.
    int RequeueAbandoned() override { return 0; }

    VerifierCount Heartbeat(const std::string& host, int threads) override {
        Pooled c(*this);
        if (threads > 0)
            Run(*c, "beat",
                "INSERT INTO verifiers (host, threads, seen) VALUES ($1, $2, " + kNow +
                    ") ON CONFLICT (host) DO UPDATE SET threads = excluded.threads,"
                    " seen = excluded.seen",
                {host, int64_t(threads)});
        Run(*c, "forget",
            "DELETE FROM verifiers WHERE seen < " + kNow + " - 3600 OR (host = $1 AND $2 = 0)",
            {host, int64_t(threads)});
        const Result all = Run(*c, "verifiers",
                               "SELECT count(*), coalesce(sum(threads), 0) FROM verifiers"
                               " WHERE seen >= " +
                                   kNow + " - 30",
                               {});
        return {int(all.Int(0, 0)), int(all.Int(0, 1))};
    }

    std::vector<BoardGame> Top(int limit, int64_t since, bool all) override {
        // Each name's best: a game no better game of its name stands above.
        Pooled c(*this);
        const std::string sql =
            std::string("SELECT ") + kColumns +
            " FROM games g WHERE score > 0 AND submitted >= $1" +
            (all ? ""
                 : " AND id = (SELECT id FROM games h WHERE h.name = g.name AND h.score > 0"
                   " AND h.submitted >= $1 ORDER BY score DESC, id LIMIT 1)") +
            " ORDER BY score DESC, id LIMIT $2";
        const Result top = Run(*c, all ? "top all" : "top", sql, {since, int64_t(limit)});
        std::vector<BoardGame> games;
        for (int row = 0; row < top.Rows(); ++row) games.push_back(GameFrom(top, row));
        return games;
    }

    std::optional<BoardGame> Game(int64_t id) override {
        Pooled c(*this);
        const Result one =
            Run(*c, "game", std::string("SELECT ") + kColumns + " FROM games WHERE id = $1", {id});
        if (one.Rows() != 1) return std::nullopt;
        return GameFrom(one, 0);
    }

    std::optional<std::string> Recording(int64_t id) override {
        Pooled c(*this);
        const Result one = Run(*c, "recording", "SELECT recording FROM games WHERE id = $1", {id});
        if (one.Rows() != 1) return std::nullopt;
        return one.Bytea(0, 0);
    }

  private:
    static constexpr const char* kColumns =
        "id, score, level, frames, name, submitted, rules, verifier";
    static constexpr const char* kSubmissionColumns =
        "id, state, coalesce(game, 0), new_game, coalesce(reason, '')";
    inline static const std::string kNow = "extract(epoch from clock_timestamp())::bigint";
    static constexpr size_t kMostConnections = 8;

    static BoardGame GameFrom(const Result& r, int row) {
        return BoardGame{r.Int(row, 0),           int(r.Int(row, 1)), int(r.Int(row, 2)),
                         uint64_t(r.Int(row, 3)), r.Text(row, 4),     r.Int(row, 5),
                         int(r.Int(row, 6)),      r.Text(row, 7)};
    }
    static Submission SubmissionFrom(const Result& r) {
        return Submission{r.Int(0, 0), SubmissionState(r.Int(0, 1)), r.Int(0, 2), r.Int(0, 3) != 0,
                          r.Text(0, 4)};
    }

    // A connection of the pool, given back when the call ends.
    class Pooled {
      public:
        explicit Pooled(PostgresStore& s) : s_(s), c_(s.Acquire()) {}
        ~Pooled() { s_.Release(std::move(c_)); }
        Connection& operator*() { return *c_; }

      private:
        PostgresStore& s_;
        std::unique_ptr<Connection> c_;
    };

    class Transaction {
      public:
        Transaction(PostgresStore& s, Connection& c) : s_(s), c_(&c) { s_.Exec(c, "BEGIN"); }
        ~Transaction() {
            if (c_) PQclear(PQexec(c_->conn, "ROLLBACK"));
        }
        void Commit() {
            s_.Exec(*c_, "COMMIT");
            c_ = nullptr;
        }

      private:
        PostgresStore& s_;
        Connection* c_;
    };

    std::unique_ptr<Connection> Open() {
        auto c = std::make_unique<Connection>();
        c->conn = Connect(uri_);
        if (!c->conn || PQstatus(c->conn) != CONNECTION_OK)
            throw std::runtime_error(c->conn ? FirstLine(PQerrorMessage(c->conn))
                                             : "out of memory");
        return c;
    }

    std::unique_ptr<Connection> Acquire() {
        std::unique_lock lock(mutex_);
        if (!freed_.wait_for(lock, std::chrono::seconds(30),
                             [this] { return !idle_.empty() || open_ < kMostConnections; }))
            throw StoreFailure("every connection to the database is busy");
        if (!idle_.empty()) {
            auto c = std::move(idle_.back());
            idle_.pop_back();
            return c;
        }
        ++open_;
        lock.unlock();
        try {
            return Open();
        } catch (const std::exception& e) {
            Release(nullptr);
            throw StoreFailure("cannot reach the database: " + std::string(e.what()));
        }
    }

    // A connection the server dropped is closed; the next call opens a new one.
    void Release(std::unique_ptr<Connection> c) {
        std::lock_guard lock(mutex_);
        if (c && PQstatus(c->conn) == CONNECTION_OK && PQtransactionStatus(c->conn) == PQTRANS_IDLE)
            idle_.push_back(std::move(c));
        else
            --open_;
        freed_.notify_one();
    }

    void Exec(Connection& c, const char* sql) {
        const Result r(PQexec(c.conn, sql));
        Check(c, PQresultStatus(r.raw()));
    }

    Result Run(Connection& c, const std::string& name, const std::string& sql,
               const std::vector<Arg>& args) {
        if (!c.prepared[name]) {
            const Result made(
                PQprepare(c.conn, name.c_str(), sql.c_str(), int(args.size()), nullptr));
            Check(c, PQresultStatus(made.raw()));
            c.prepared[name] = true;
        }
        std::vector<const char*> values;
        std::vector<int> lengths, formats;
        for (const Arg& a : args) {
            values.push_back(a.value.data());
            lengths.push_back(int(a.value.size()));
            formats.push_back(a.bytes ? 1 : 0);
        }
        Result r(PQexecPrepared(c.conn, name.c_str(), int(args.size()), values.data(),
                                lengths.data(), formats.data(), 0));
        Check(c, PQresultStatus(r.raw()));
        return r;
    }

    static void Check(Connection& c, ExecStatusType status) {
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            throw StoreFailure(FirstLine(PQerrorMessage(c.conn)));
    }

    std::string uri_;
    std::mutex mutex_;
    std::condition_variable freed_;
    std::vector<std::unique_ptr<Connection>> idle_;
    size_t open_ = 1; // the one the constructor opens
};

} // namespace

std::unique_ptr<Store> OpenPostgresStore(const std::string& uri) {
    return std::make_unique<PostgresStore>(uri);
}
