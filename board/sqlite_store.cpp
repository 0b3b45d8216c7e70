// The board's games and uploads in one SQLite file. Every statement is prepared: nothing from a
// request ever becomes SQL text. WAL with full syncs: an upload answered 202 survives a killed
// server. Two connections, one writing and one reading, so that reads never wait on a sync.
#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "board/daily.h"
#include "board/store.h"
#include "board/store_sql.h"

namespace {

class Statement {
  public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK)
            throw StoreFailure(sqlite3_errmsg(db));
    }
    Statement(sqlite3* db, const std::string& sql) : Statement(db, sql.c_str()) {}
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int i, int64_t v) {
        sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    Statement& Bind(int i, const std::string& v) {
        sqlite3_bind_text(stmt_, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& BindBlob(int i, const std::string& v) {
        sqlite3_bind_blob(stmt_, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // True while there is a row.
    bool Row() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) throw StoreFailure(sqlite3_errmsg(db_));
        return false;
    }
    void Run() {
        while (Row()) {}
    }
    int64_t Int(int col) const { return sqlite3_column_int64(stmt_, col); }
    std::string Text(int col) const {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, col));
        return std::string(bytes ? bytes : "", size_t(sqlite3_column_bytes(stmt_, col)));
    }

  private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

BoardGame GameFrom(const Statement& s) {
    BoardGame g;
    g.id = s.Int(0);
    g.score = int(s.Int(1));
    g.level = int(s.Int(2));
    g.frames = uint64_t(s.Int(3));
    g.name = s.Text(4);
    g.submitted = s.Int(5);
    g.rules = int(s.Int(6));
    g.verifier = s.Text(7);
    g.seed = s.Int(8);
    g.day = s.Text(9);
    g.ranked = s.Int(10) != 0;
    g.unranked = s.Text(11);
    g.machine = s.Text(12);
    g.hidden = s.Int(13) != 0;
    g.uploaded = s.Int(14);
    g.pauses = int(s.Int(15));
    g.pausedFrames = uint64_t(s.Int(16));
    return g;
}

bool HasColumn(sqlite3* db, const char* table, const std::string& column) {
    Statement info(
        db, (std::string("SELECT count(*) FROM pragma_table_info('") + table + "') WHERE name = ?")
                .c_str());
    info.Bind(1, column).Row();
    return info.Int(0) > 0;
}

Submission SubmissionFrom(const Statement& s) {
    Submission sub;
    sub.id = s.Int(0);
    sub.state = SubmissionState(s.Int(1));
    sub.game = s.Int(2);
    sub.newGame = s.Int(3) != 0;
    sub.reason = s.Text(4);
    return sub;
}

// The days' tables: the attempts issued, the names and moderators' acts, the board's secret.
constexpr const char* kRankingSchema =
    "CREATE TABLE IF NOT EXISTS attempts (token TEXT PRIMARY KEY, day TEXT NOT NULL,"
    " seed INTEGER NOT NULL, issued INTEGER NOT NULL, used_by INTEGER);"
    "CREATE INDEX IF NOT EXISTS attempts_by_issued ON attempts (issued);"
    "CREATE TABLE IF NOT EXISTS hidden_names (name TEXT PRIMARY KEY);"
    "CREATE TABLE IF NOT EXISTS moderation (id INTEGER PRIMARY KEY, at INTEGER NOT NULL,"
    " action TEXT NOT NULL, target TEXT NOT NULL, why TEXT NOT NULL, operator TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS board_secret (id INTEGER PRIMARY KEY, secret TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS games_by_day ON games (day, ranked, score DESC, uploaded, id);";

constexpr const char* kSubmissionColumns =
    "id, state, ifnull(game, 0), new_game, ifnull(reason, '')";

sqlite3* Open(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW,
                        nullptr) != SQLITE_OK) {
        const std::string why = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw std::runtime_error(why);
    }
    sqlite3_busy_timeout(db, 5000);
    return db;
}

void Exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string why = error ? error : "unknown error";
        sqlite3_free(error);
        throw StoreFailure(why);
    }
}

// One transaction, rolled back unless committed.
class Transaction {
  public:
    explicit Transaction(sqlite3* db) : db_(db) { Exec(db_, "BEGIN IMMEDIATE"); }
    ~Transaction() {
        if (db_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void Commit() {
        Exec(db_, "COMMIT");
        db_ = nullptr;
    }

  private:
    sqlite3* db_;
};

class SqliteStore final : public Store {
  public:
    explicit SqliteStore(const std::string& path) : path_(path) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            throw std::runtime_error("it is a link; name the database file itself");
        writer_ = Open(path);
        try {
            if (sqlite3_db_readonly(writer_, "main") == 1)
                throw std::runtime_error("it can only be read; the board must write to it");
            Exec(writer_, "PRAGMA journal_mode=WAL");
            Exec(writer_, "PRAGMA synchronous=FULL");
            Exec(writer_,
                 "CREATE TABLE IF NOT EXISTS games ("
                 " id INTEGER PRIMARY KEY,"
                 " score INTEGER NOT NULL, level INTEGER NOT NULL, frames INTEGER NOT NULL,"
                 " name TEXT NOT NULL, submitted INTEGER NOT NULL,"
                 " recording BLOB NOT NULL, digest TEXT NOT NULL UNIQUE)");
            // Boards from before the rules were numbered played rules 1; those from before the
            // days' tables ranked nothing.
            for (const char* column :
                 {"rules INTEGER NOT NULL DEFAULT 1", "verifier TEXT NOT NULL DEFAULT ''",
                  "seed INTEGER NOT NULL DEFAULT 0", "day TEXT NOT NULL DEFAULT ''",
                  "ranked INTEGER NOT NULL DEFAULT 0", "unranked TEXT NOT NULL DEFAULT 'none'",
                  "machine TEXT NOT NULL DEFAULT ''", "hidden INTEGER NOT NULL DEFAULT 0",
                  "uploaded INTEGER NOT NULL DEFAULT 0", "pauses INTEGER NOT NULL DEFAULT 0",
                  "paused_frames INTEGER NOT NULL DEFAULT 0"})
                if (!HasColumn(writer_, "games",
                               std::string(column).substr(0, std::string(column).find(' '))))
                    Exec(writer_, (std::string("ALTER TABLE games ADD COLUMN ") + column).c_str());
            Exec(writer_, "CREATE INDEX IF NOT EXISTS games_by_score ON games (score DESC, id)");
            Exec(writer_,
                 "CREATE INDEX IF NOT EXISTS games_by_name ON games (name, score DESC, id)");
            // An upload keeps its bytes only until its verdict; `upload` is their digest.
            Exec(writer_, "CREATE TABLE IF NOT EXISTS submissions ("
                          " id INTEGER PRIMARY KEY, upload TEXT NOT NULL UNIQUE,"
                          " which TEXT NOT NULL, state INTEGER NOT NULL, recording BLOB,"
                          " game INTEGER, new_game INTEGER NOT NULL DEFAULT 0, reason TEXT,"
                          " submitted INTEGER NOT NULL)");
            Exec(writer_, "CREATE INDEX IF NOT EXISTS submissions_by_state"
                          " ON submissions (state, id)");
            // Leases, from when verifiers could die without the board.
            for (const char* column : {"attempt INTEGER NOT NULL DEFAULT 0", "lease_until INTEGER"})
                if (!HasColumn(writer_, "submissions",
                               std::string(column).substr(0, std::string(column).find(' '))))
                    Exec(writer_,
                         (std::string("ALTER TABLE submissions ADD COLUMN ") + column).c_str());
            Exec(writer_, "CREATE TABLE IF NOT EXISTS verifiers ("
                          " host TEXT PRIMARY KEY, threads INTEGER NOT NULL,"
                          " seen INTEGER NOT NULL)");
            Exec(writer_, kRankingSchema);
            // A write now, so that a file the board cannot write is found at start-up.
            Transaction t(writer_);
            t.Commit();
        } catch (const std::exception& e) {
            sqlite3_close(writer_);
            throw std::runtime_error(e.what());
        }
        if (::stat(path.c_str(), &st) == 0) file_ = st;
        reader_ = Open(path);
    }
    ~SqliteStore() override {
        sqlite3_close(reader_);
        sqlite3_close(writer_);
    }

    Submission Enqueue(const std::string& recording, const std::string& which,
                       int64_t now) override {
        const std::string upload = Sha256Hex(recording) + ":" + which;
        std::lock_guard lock(writing_);
        CheckFile();
        Transaction t(writer_);
        Statement find(writer_, (std::string("SELECT ") + kSubmissionColumns +
                                 " FROM submissions WHERE upload = ?")
                                    .c_str());
        if (find.Bind(1, upload).Row()) return SubmissionFrom(find);
        Statement add(writer_, "INSERT INTO submissions (upload, which, state, recording,"
                               " submitted) VALUES (?, ?, 0, ?, ?)");
        add.Bind(1, upload).Bind(2, which).BindBlob(3, recording).Bind(4, now).Run();
        Submission sub;
        sub.id = sqlite3_last_insert_rowid(writer_);
        t.Commit();
        return sub;
    }

    std::optional<Submission> SubmissionById(int64_t id) override {
        std::lock_guard lock(reading_);
        Statement one(reader_, (std::string("SELECT ") + kSubmissionColumns +
                                " FROM submissions WHERE id = ?")
                                   .c_str());
        if (!one.Bind(1, id).Row()) return std::nullopt;
        return SubmissionFrom(one);
    }

    int64_t Pending() override {
        std::lock_guard lock(reading_);
        Statement count(reader_, "SELECT count(*) FROM submissions WHERE state < 2");
        count.Row();
        return count.Int(0);
    }

    std::optional<Job> TakeJob(int leaseSeconds) override {
        std::lock_guard lock(writing_);
        CheckFile();
        Statement take(writer_,
                       "UPDATE submissions SET state = 1, attempt = attempt + 1,"
                       " lease_until = unixepoch() + ?1 WHERE id = (SELECT id FROM submissions"
                       " WHERE state = 0 OR (state = 1 AND lease_until < unixepoch())"
                       " ORDER BY id LIMIT 1) RETURNING id, attempt, recording, which");
        if (!take.Bind(1, leaseSeconds).Row()) return std::nullopt;
        Job job{take.Int(0), take.Int(1), take.Text(2), take.Text(3)};
        take.Run();
        return job;
    }

    void ReturnJob(const Job& job) override {
        std::lock_guard lock(writing_);
        CheckFile();
        Statement back(writer_, "UPDATE submissions SET state = 0 WHERE id = ? AND state = 1"
                                " AND attempt = ?");
        back.Bind(1, job.id).Bind(2, job.attempt).Run();
    }

    std::optional<Submission> StoreGame(const Job& job, const BoardGame& g,
                                        const std::string& identity, const Claim& claim) override {
        std::lock_guard lock(writing_);
        CheckFile();
        Transaction t(writer_);
        if (!Holds(job)) return std::nullopt;
        Submission sub{job.id, SubmissionState::Stored, 0, false, {}};
        Statement find(writer_, "SELECT id FROM games WHERE digest = ?");
        if (find.Bind(1, identity).Row()) {
            sub.game = find.Int(0);
        } else {
            const Standing standing = Rank(job, g, claim);
            Statement add(writer_, kAddGame);
            add.Bind(1, g.score).Bind(2, g.level).Bind(3, int64_t(g.frames)).Bind(4, g.name);
            add.Bind(5, g.submitted).Bind(6, g.rules).Bind(7, g.verifier).Bind(8, identity);
            add.Bind(9, job.id).Bind(10, claim.seed).Bind(11, standing.day);
            add.Bind(12, standing.code.empty()).Bind(13, standing.code).Bind(14, claim.machine);
            add.Bind(15, g.pauses).Bind(16, int64_t(g.pausedFrames));
            add.Run();
            sub.game = sqlite3_last_insert_rowid(writer_);
            sub.newGame = true;
        }
        Statement done(writer_, "UPDATE submissions SET state = 2, game = ?, new_game = ?,"
                                " recording = NULL WHERE id = ?");
        done.Bind(1, sub.game).Bind(2, sub.newGame).Bind(3, job.id).Run();
        t.Commit();
        return sub;
    }

    bool RefuseJob(const Job& job, const std::string& reason) override {
        std::lock_guard lock(writing_);
        CheckFile();
        Statement done(writer_, "UPDATE submissions SET state = 3, reason = ?, recording = NULL"
                                " WHERE id = ? AND state = 1 AND attempt = ?");
        done.Bind(1, reason).Bind(2, job.id).Bind(3, job.attempt).Run();
        return sqlite3_changes(writer_) > 0;
    }

    VerifierCount Heartbeat(const std::string& host, int threads) override {
        std::lock_guard lock(writing_);
        CheckFile();
        if (threads > 0) {
            Statement beat(writer_,
                           "INSERT INTO verifiers (host, threads, seen)"
                           " VALUES (?, ?, unixepoch()) ON CONFLICT (host)"
                           " DO UPDATE SET threads = excluded.threads, seen = excluded.seen");
            beat.Bind(1, host).Bind(2, threads).Run();
        }
        // Hosts gone quiet for an hour are forgotten; one leaving says so.
        Statement gone(writer_, "DELETE FROM verifiers WHERE seen < unixepoch() - 3600 OR host = ?"
                                " AND ? = 0");
        gone.Bind(1, host).Bind(2, threads).Run();
        Statement all(writer_, "SELECT count(*), ifnull(sum(threads), 0) FROM verifiers"
                               " WHERE seen >= unixepoch() - 30");
        all.Row();
        return {int(all.Int(0)), int(all.Int(1))};
    }

    int RequeueAbandoned() override {
        std::lock_guard lock(writing_);
        CheckFile();
        Statement back(writer_, "UPDATE submissions SET state = 0 WHERE state = 1");
        back.Run();
        return sqlite3_changes(writer_);
    }

    std::vector<BoardGame> Top(int limit, int64_t since, bool all) override {
        std::lock_guard lock(reading_);
        Statement top(reader_, TopSql(all).c_str());
        top.Bind(1, since).Bind(2, limit);
        std::vector<BoardGame> games;
        while (top.Row()) games.push_back(GameFrom(top));
        return games;
    }

    std::optional<BoardGame> Game(int64_t id) override {
        std::lock_guard lock(reading_);
        Statement one(
            reader_,
            (std::string("SELECT ") + kGameColumns + " FROM games g WHERE g.id = ?").c_str());
        if (!one.Bind(1, id).Row()) return std::nullopt;
        return GameFrom(one);
    }

    std::string Secret(const std::string& fresh) override {
        std::lock_guard lock(writing_);
        CheckFile();
        Transaction t(writer_);
        Statement(writer_, kKeepSecret).Bind(1, fresh).Run();
        Statement kept(writer_, kSecret);
        kept.Row();
        const std::string secret = kept.Text(0);
        t.Commit();
        return secret;
    }

    void AddAttempt(const Attempt& a) override {
        std::lock_guard lock(writing_);
        CheckFile();
        Transaction t(writer_);
        Statement(writer_, kForgetAttempts).Bind(1, a.issued - kAttemptDays * kDaySeconds).Run();
        Statement add(writer_, kAddAttempt);
        add.Bind(1, a.token).Bind(2, a.day).Bind(3, a.seed).Bind(4, a.issued).Run();
        t.Commit();
    }

    std::vector<BoardGame> DayTable(const std::string& day, int limit) override {
        std::lock_guard lock(reading_);
        Statement table(reader_, kDayTable);
        table.Bind(1, day).Bind(2, limit);
        std::vector<BoardGame> games;
        while (table.Row()) games.push_back(GameFrom(table));
        return games;
    }

    std::vector<std::string> RankedDays(int limit) override {
        std::lock_guard lock(reading_);
        Statement days(reader_, kRankedDays);
        days.Bind(1, limit);
        std::vector<std::string> list;
        while (days.Row()) list.push_back(days.Text(0));
        return list;
    }

    bool Moderate(const Moderation& act) override {
        std::lock_guard lock(writing_);
        CheckFile();
        Transaction t(writer_);
        if (act.game) {
            Statement(writer_, kHideGame).Bind(1, act.hide).Bind(2, act.game).Run();
        } else if (act.hide) {
            Statement named(writer_, kGamesOfName);
            if (!named.Bind(1, act.name).Row() || named.Int(0) == 0) return false;
            Statement(writer_, kHideName).Bind(1, act.name).Run();
        } else {
            Statement(writer_, kShowName).Bind(1, act.name).Run();
        }
        if (sqlite3_changes(writer_) == 0 && !(act.hide && !act.game)) return false;
        Statement audit(writer_, kAudit);
        audit.Bind(1, act.at).Bind(2, std::string(act.hide ? "hide" : "show"));
        audit.Bind(3, act.game ? "game " + std::to_string(act.game) : "name " + act.name);
        audit.Bind(4, act.why).Bind(5, act.by).Run();
        t.Commit();
        return true;
    }

    RankCounts Counts() override {
        std::lock_guard lock(reading_);
        RankCounts counts;
        Statement by(reader_, kCounts);
        std::vector<std::pair<std::string, int64_t>> found;
        while (by.Row()) {
            if (by.Int(0))
                counts.hidden += by.Int(3);
            else if (by.Int(1))
                counts.ranked += by.Int(3);
            else
                found.emplace_back(by.Text(2), by.Int(3));
        }
        counts.unranked = CountsByCode(found);
        return counts;
    }

    std::optional<std::string> Recording(int64_t id) override {
        std::lock_guard lock(reading_);
        Statement one(reader_, "SELECT recording FROM games WHERE id = ?");
        if (!one.Bind(1, id).Row()) return std::nullopt;
        return one.Text(0);
    }

  private:
    struct Standing {
        std::string code; // "" when ranked
        std::string day;
    };

    // The game's place on the day's tables: its attempt used up now, if it was the first use.
    Standing Rank(const Job& job, const BoardGame& g, const Claim& claim) {
        Statement arrived(writer_, "SELECT submitted FROM submissions WHERE id = ?");
        arrived.Bind(1, job.id).Row();
        const int64_t uploaded = arrived.Int(0);
        std::optional<Attempt> attempt;
        Statement seen(writer_, kAttempt);
        if (!claim.attempt.empty() && seen.Bind(1, claim.attempt).Row())
            attempt = Attempt{claim.attempt, seen.Text(0), seen.Int(1), seen.Int(2), seen.Int(3)};
        Standing s{UnrankedCode(claim, attempt, g.frames, uploaded), claim.seedDay};
        if (attempt && UsesAttempt(s.code))
            Statement(writer_, kUseAttempt).Bind(1, job.id).Bind(2, claim.attempt).Run();
        if (s.code.empty()) s.day = attempt->day;
        return s;
    }

    // Whether the job's lease is still the caller's.
    bool Holds(const Job& job) {
        Statement mine(writer_,
                       "SELECT 1 FROM submissions WHERE id = ? AND state = 1 AND attempt = ?");
        return mine.Bind(1, job.id).Bind(2, job.attempt).Row();
    }

    // A file deleted or replaced under a running board would take every later write with it,
    // unseen until a restart: each write first finds the file it opened still at its name.
    void CheckFile() const {
        struct stat st {};
        if (::stat(path_.c_str(), &st) != 0)
            throw StoreFailure("the database " + path_ + " is gone (" + std::strerror(errno) +
                               "); restart the board to keep games again");
        if (st.st_dev != file_.st_dev || st.st_ino != file_.st_ino)
            throw StoreFailure("the database " + path_ +
                               " was replaced by another file; restart the board");
    }

    std::string path_;
    struct stat file_ {};
    sqlite3* writer_ = nullptr;
    sqlite3* reader_ = nullptr;
    std::mutex writing_, reading_;
};

} // namespace

std::unique_ptr<Store> OpenSqliteStore(const std::string& path) {
    return std::make_unique<SqliteStore>(path);
}

bool BackupSqlite(const std::string& path, const std::string& to, std::string& why) {
    sqlite3* source = nullptr;
    sqlite3* copy = nullptr;
    const std::string partial = to + ".partial";
    auto fail = [&](const std::string& what) {
        why = what;
        sqlite3_close(copy);
        sqlite3_close(source);
        std::remove(partial.c_str());
        return false;
    };
    if (sqlite3_open_v2(path.c_str(), &source, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW,
                        nullptr) != SQLITE_OK)
        return fail(sqlite3_errmsg(source));
    std::remove(partial.c_str());
    if (sqlite3_open_v2(partial.c_str(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK)
        return fail(sqlite3_errmsg(copy));
    sqlite3_busy_timeout(source, 5000);
    sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
    if (!backup) return fail(sqlite3_errmsg(copy));
    // In steps, so that a board writing meanwhile waits on none of it for long.
    int rc;
    while ((rc = sqlite3_backup_step(backup, 256)) == SQLITE_OK || rc == SQLITE_BUSY ||
           rc == SQLITE_LOCKED)
        if (rc != SQLITE_OK) sqlite3_sleep(20);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) return fail(sqlite3_errstr(rc));
    std::string check;
    {
        Statement integrity(copy, "PRAGMA integrity_check");
        if (integrity.Row()) check = integrity.Text(0);
    }
    if (check != "ok") return fail("the copy does not check: " + check);
    sqlite3_close(copy);
    copy = nullptr;
    sqlite3_close(source);
    source = nullptr;
    if (std::rename(partial.c_str(), to.c_str()) != 0) return fail(std::strerror(errno));
    return true;
}
