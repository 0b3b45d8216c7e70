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

#include "board/daily.h"
#include "board/store.h"
#include "board/store_sql.h"

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
    // The days' tables: boards from before them ranked nothing.
    "ALTER TABLE games ADD COLUMN IF NOT EXISTS seed BIGINT NOT NULL DEFAULT 0,"
    " ADD COLUMN IF NOT EXISTS day TEXT NOT NULL DEFAULT '',"
    " ADD COLUMN IF NOT EXISTS ranked INTEGER NOT NULL DEFAULT 0,"
    " ADD COLUMN IF NOT EXISTS unranked TEXT NOT NULL DEFAULT 'none',"
    " ADD COLUMN IF NOT EXISTS machine TEXT NOT NULL DEFAULT '',"
    " ADD COLUMN IF NOT EXISTS hidden INTEGER NOT NULL DEFAULT 0,"
    " ADD COLUMN IF NOT EXISTS uploaded BIGINT NOT NULL DEFAULT 0,"
    " ADD COLUMN IF NOT EXISTS pauses INTEGER NOT NULL DEFAULT 0,"
    " ADD COLUMN IF NOT EXISTS paused_frames BIGINT NOT NULL DEFAULT 0;"
    "CREATE INDEX IF NOT EXISTS games_by_day ON games (day, ranked, score DESC, uploaded, id);"
    "CREATE TABLE IF NOT EXISTS attempts (token TEXT PRIMARY KEY, day TEXT NOT NULL,"
    " seed BIGINT NOT NULL, issued BIGINT NOT NULL, used_by BIGINT);"
    "CREATE INDEX IF NOT EXISTS attempts_by_issued ON attempts (issued);"
    "CREATE TABLE IF NOT EXISTS hidden_names (name TEXT PRIMARY KEY);"
    "CREATE TABLE IF NOT EXISTS moderation (id BIGSERIAL PRIMARY KEY, at BIGINT NOT NULL,"
    " action TEXT NOT NULL, target TEXT NOT NULL, why TEXT NOT NULL, operator TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS board_secret (id INTEGER PRIMARY KEY, secret TEXT NOT NULL);"
    "COMMIT;";

// A statement written for both stores ("?N") in PostgreSQL's words ("$N").
std::string Dollars(std::string sql) {
    for (size_t at = sql.find('?'); at != std::string::npos; at = sql.find('?', at + 1))
        sql[at] = '$';
    return sql;
}

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
                                        const std::string& identity, const Claim& claim) override {
        Pooled c(*this);
        Transaction t(*this, *c);
        if (Run(*c, "hold",
                "SELECT 1 FROM submissions WHERE id = $1 AND state = 1 AND attempt = $2"
                " FOR UPDATE",
                {job.id, job.attempt})
                .Rows() != 1)
            return std::nullopt;
        Submission sub{job.id, SubmissionState::Stored, 0, false, {}};
        // A game already kept keeps its standing, and the attempt stays unused.
        const Result known =
            Run(*c, "game by digest", "SELECT id FROM games WHERE digest = $1", {identity});
        if (known.Rows() == 1) return Stored(*c, t, sub, known.Int(0, 0), false);
        const Standing standing = Rank(*c, job, g, claim);
        const Result added =
            Run(*c, "add game", Dollars(kAddGame) + " ON CONFLICT (digest) DO NOTHING RETURNING id",
                {int64_t(g.score), int64_t(g.level), int64_t(g.frames), g.name, g.submitted,
                 int64_t(g.rules), g.verifier, identity, job.id, claim.seed, standing.day,
                 int64_t(standing.code.empty()), standing.code, claim.machine, int64_t(g.pauses),
                 int64_t(g.pausedFrames)});
        if (added.Rows() == 1) {
            sub.game = added.Int(0, 0);
            sub.newGame = true;
        } else {
            // Another upload of the game was kept meanwhile: it keeps its standing, and this
            // upload's attempt is left as it was.
            const Result found =
                Run(*c, "game by digest", "SELECT id FROM games WHERE digest = $1", {identity});
            if (found.Rows() != 1) throw StoreFailure("a stored game vanished");
            sub.game = found.Int(0, 0);
            Run(*c, "unuse attempt",
                "UPDATE attempts SET used_by = NULL WHERE token = $1 AND used_by = $2",
                {claim.attempt, job.id});
        }
        return Stored(*c, t, sub, sub.game, sub.newGame);
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
        Pooled c(*this);
        return GamesFrom(
            Run(*c, all ? "top all" : "top", Dollars(TopSql(all)), {since, int64_t(limit)}));
    }

    std::optional<BoardGame> Game(int64_t id) override {
        Pooled c(*this);
        const Result one =
            Run(*c, "game", std::string("SELECT ") + kGameColumns + " FROM games g WHERE g.id = $1",
                {id});
        if (one.Rows() != 1) return std::nullopt;
        return GameFrom(one, 0);
    }

    std::string Secret(const std::string& fresh) override {
        Pooled c(*this);
        Run(*c, "keep secret", Dollars(kKeepSecret), {fresh});
        return Run(*c, "secret", kSecret, {}).Text(0, 0);
    }

    void AddAttempt(const Attempt& a) override {
        Pooled c(*this);
        Run(*c, "forget attempts", Dollars(kForgetAttempts),
            {a.issued - kAttemptDays * kDaySeconds});
        Run(*c, "add attempt", Dollars(kAddAttempt), {a.token, a.day, a.seed, a.issued});
    }

    std::vector<BoardGame> DayTable(const std::string& day, int limit) override {
        Pooled c(*this);
        return GamesFrom(Run(*c, "day table", Dollars(kDayTable), {day, int64_t(limit)}));
    }

    std::vector<std::string> RankedDays(int limit) override {
        Pooled c(*this);
        const Result days = Run(*c, "ranked days", Dollars(kRankedDays), {int64_t(limit)});
        std::vector<std::string> list;
        for (int row = 0; row < days.Rows(); ++row) list.push_back(days.Text(row, 0));
        return list;
    }

    bool Moderate(const Moderation& act) override {
        Pooled c(*this);
        Transaction t(*this, *c);
        if (act.game) {
            if (Run(*c, "hide game", Dollars(kHideGame), {int64_t(act.hide), act.game})
                    .Affected() == 0)
                return false;
        } else if (act.hide) {
            if (Run(*c, "games of name", Dollars(kGamesOfName), {act.name}).Int(0, 0) == 0)
                return false;
            Run(*c, "hide name", Dollars(kHideName), {act.name});
        } else if (Run(*c, "show name", Dollars(kShowName), {act.name}).Affected() == 0) {
            return false;
        }
        Run(*c, "audit", Dollars(kAudit),
            {act.at, std::string(act.hide ? "hide" : "show"),
             act.game ? "game " + std::to_string(act.game) : "name " + act.name, act.why, act.by});
        t.Commit();
        return true;
    }

    RankCounts Counts() override {
        Pooled c(*this);
        const Result by = Run(*c, "counts", kCounts, {});
        RankCounts counts;
        std::vector<std::pair<std::string, int64_t>> found;
        for (int row = 0; row < by.Rows(); ++row) {
            if (by.Int(row, 0))
                counts.hidden += by.Int(row, 3);
            else if (by.Int(row, 1))
                counts.ranked += by.Int(row, 3);
            else
                found.emplace_back(by.Text(row, 2), by.Int(row, 3));
        }
        counts.unranked = CountsByCode(found);
        return counts;
    }

    std::optional<std::string> Recording(int64_t id) override {
        Pooled c(*this);
        const Result one = Run(*c, "recording", "SELECT recording FROM games WHERE id = $1", {id});
        if (one.Rows() != 1) return std::nullopt;
        return one.Bytea(0, 0);
    }

  private:
    static constexpr const char* kSubmissionColumns =
        "id, state, coalesce(game, 0), new_game, coalesce(reason, '')";
    inline static const std::string kNow = "extract(epoch from clock_timestamp())::bigint";
    static constexpr size_t kMostConnections = 8;

    static BoardGame GameFrom(const Result& r, int row) {
        return BoardGame{r.Int(row, 0),           int(r.Int(row, 1)),      int(r.Int(row, 2)),
                         uint64_t(r.Int(row, 3)), r.Text(row, 4),          r.Int(row, 5),
                         int(r.Int(row, 6)),      r.Text(row, 7),          r.Int(row, 8),
                         r.Text(row, 9),          r.Int(row, 10) != 0,     r.Text(row, 11),
                         r.Text(row, 12),         r.Int(row, 13) != 0,     r.Int(row, 14),
                         int(r.Int(row, 15)),     uint64_t(r.Int(row, 16))};
    }
    static std::vector<BoardGame> GamesFrom(const Result& r) {
        std::vector<BoardGame> games;
        for (int row = 0; row < r.Rows(); ++row) games.push_back(GameFrom(r, row));
        return games;
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

    struct Standing {
        std::string code; // "" when ranked
        std::string day;
    };

    // The game's place on the day's tables: its attempt used up now, if it was the first use.
    Standing Rank(Connection& c, const Job& job, const BoardGame& g, const Claim& claim) {
        const int64_t uploaded =
            Run(c, "arrived", "SELECT submitted FROM submissions WHERE id = $1", {job.id})
                .Int(0, 0);
        std::optional<Attempt> attempt;
        if (!claim.attempt.empty()) {
            const Result seen = Run(c, "attempt", Dollars(kAttempt), {claim.attempt});
            if (seen.Rows() == 1)
                attempt = Attempt{claim.attempt, seen.Text(0, 0), seen.Int(0, 1), seen.Int(0, 2),
                                  seen.Int(0, 3)};
        }
        Standing s{UnrankedCode(claim, attempt, g.frames, uploaded), claim.seedDay};
        // Two uploads under one attempt at once: the one whose use lands first keeps it.
        if (attempt && UsesAttempt(s.code) &&
            Run(c, "use attempt", Dollars(kUseAttempt), {job.id, claim.attempt}).Affected() == 0)
            s.code = "reused";
        if (s.code.empty()) s.day = attempt->day;
        return s;
    }

    // The upload's verdict kept, and the transaction committed.
    Submission Stored(Connection& c, Transaction& t, Submission sub, int64_t game, bool added) {
        sub.game = game;
        sub.newGame = added;
        Run(c, "stored",
            "UPDATE submissions SET state = 2, game = $1, new_game = $2, recording = NULL"
            " WHERE id = $3",
            {sub.game, int64_t(sub.newGame), sub.id});
        t.Commit();
        return sub;
    }

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
