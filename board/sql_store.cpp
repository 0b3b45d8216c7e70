// The board's store, written once for both databases: every call one transaction of the named
// statements of board/statements.h, its times from the one clock it was given.
#include <cstdlib>
#include <stdexcept>

#include "board/daily.h"
#include "board/database.h"
#include "board/store.h"

namespace {

// Attempts are kept this many days after they are issued, used or not.
constexpr int64_t kAttemptDays = 3;
// A verifier host is counted while heard from in the last half minute, and forgotten after an
// hour of silence.
constexpr int64_t kHostCountedSeconds = 30, kHostKeptSeconds = 3600;

int64_t State(SubmissionState s) { return int64_t(s); }

SubmissionState StateOf(int64_t value) {
    switch (value) {
    case int64_t(SubmissionState::Queued):
    case int64_t(SubmissionState::Verifying):
    case int64_t(SubmissionState::Stored):
    case int64_t(SubmissionState::Refused):
        return SubmissionState(value);
    default:
        throw StoreFailure("an upload in an unknown state (" + std::to_string(value) + ")");
    }
}

Submission SubmissionFrom(const SqlRows& r) {
    return Submission{r.Int(0, 0), StateOf(r.Int(0, 1)), r.Int(0, 2), r.Int(0, 3) != 0,
                      r.Text(0, 4)};
}

std::vector<BoardGame> GamesFrom(const SqlRows& r) {
    std::vector<BoardGame> games;
    for (size_t i = 0; i < r.size(); ++i)
        games.push_back(
            BoardGame{r.Int(i, 0), int(r.Int(i, 1)), int(r.Int(i, 2)), uint64_t(r.Int(i, 3)),
                      r.Text(i, 4), r.Int(i, 5), int(r.Int(i, 6)), r.Text(i, 7), r.Int(i, 8),
                      r.Text(i, 9), r.Int(i, 10) != 0, r.Text(i, 11), r.Text(i, 12),
                      r.Int(i, 13) != 0, r.Int(i, 14), int(r.Int(i, 15)), uint64_t(r.Int(i, 16))});
    return games;
}

class SqlStore final : public Store {
  public:
    SqlStore(std::unique_ptr<Database> db, Clock clock) : db_(std::move(db)), clock_(clock) {
        try {
            Upgrade();
        } catch (const StoreFailure& e) { throw std::runtime_error(e.what()); }
    }

    int64_t Now() override { return clock_(); }

    int SchemaVersion() override {
        const auto t = db_->Begin(false);
        return int(t->Run(Query::SchemaVersion).Int(0, 0));
    }

    Submission Enqueue(const std::string& recording, const std::string& which) override {
        const std::string upload = Sha256Hex(recording) + ":" + which;
        const auto t = db_->Begin(true);
        const SqlRows added = t->Run(Query::AddSubmission,
                                     {upload, which, State(Queued), SqlBytes(recording), Now()});
        Submission sub;
        if (!added.empty()) {
            sub.id = added.Int(0, 0);
        } else { // the same bytes sent again: what they were first kept as
            const SqlRows found = t->Run(Query::SubmissionByUpload, {upload});
            if (found.empty()) throw StoreFailure("an upload vanished while it was being kept");
            sub = SubmissionFrom(found);
        }
        t->Commit();
        return sub;
    }

    std::optional<Submission> SubmissionById(int64_t id) override {
        const SqlRows one = db_->Begin(false)->Run(Query::SubmissionById, {id});
        if (one.empty()) return std::nullopt;
        return SubmissionFrom(one);
    }

    int64_t Pending() override {
        return db_->Begin(false)->Run(Query::Pending, {State(Queued), State(Verifying)}).Int(0, 0);
    }

    std::optional<Job> TakeJob(int leaseSeconds) override {
        const int64_t now = Now();
        const auto t = db_->Begin(true);
        const SqlRows taken =
            t->Run(Query::TakeJob, {State(Verifying), now + leaseSeconds, State(Queued), now});
        t->Commit();
        if (taken.empty()) return std::nullopt;
        return Job{taken.Int(0, 0), taken.Int(0, 1), taken.Text(0, 2), taken.Text(0, 3)};
    }

    void ReturnJob(const Job& job) override {
        const auto t = db_->Begin(true);
        t->Run(Query::ReturnJob, {State(Queued), job.id, State(Verifying), job.attempt});
        t->Commit();
    }

    std::optional<Submission> StoreGame(const Job& job, const BoardGame& g,
                                        const std::string& identity, const Claim& claim) override {
        const auto t = db_->Begin(true);
        const SqlRows held = t->Run(Query::HoldJob, {job.id, State(Verifying), job.attempt});
        if (held.empty()) return std::nullopt;
        const int64_t uploaded = held.Int(0, 0);
        Submission sub{job.id, SubmissionState::Stored, 0, false, {}};
        // A game already kept keeps its standing, and the attempt stays unused.
        const SqlRows known = t->Run(Query::GameByDigest, {identity});
        if (!known.empty()) {
            sub.game = known.Int(0, 0);
        } else {
            const Standing standing = Rank(*t, job, g, claim, uploaded);
            const SqlRows added =
                t->Run(Query::AddGame,
                       {g.score, g.level, g.frames, g.name, g.submitted, g.rules, g.verifier,
                        identity, job.id, claim.seed, standing.day, standing.code.empty(),
                        standing.code, claim.machine, g.pauses, g.pausedFrames});
            if (!added.empty()) {
                sub.game = added.Int(0, 0);
                sub.newGame = true;
            } else {
                // Another upload of the game was kept meanwhile: it keeps its standing, and
                // this upload's attempt is left as it was.
                const SqlRows found = t->Run(Query::GameByDigest, {identity});
                if (found.empty()) throw StoreFailure("a stored game vanished");
                sub.game = found.Int(0, 0);
                t->Run(Query::UnuseAttempt, {claim.attempt, job.id});
            }
        }
        t->Run(Query::JobStored, {State(Stored), sub.game, sub.newGame, job.id});
        t->Commit();
        return sub;
    }

    bool RefuseJob(const Job& job, const std::string& reason) override {
        const auto t = db_->Begin(true);
        const SqlRows done = t->Run(
            Query::RefuseJob, {State(Refused), reason, job.id, State(Verifying), job.attempt});
        t->Commit();
        return done.changed > 0;
    }

    int RequeueAbandoned() override {
        if (!db_->Sole()) return 0; // only leases end a job's turn on a shared database
        const auto t = db_->Begin(true);
        const SqlRows back = t->Run(Query::RequeueTaken, {State(Queued), State(Verifying)});
        t->Commit();
        return int(back.changed);
    }

    VerifierCount Heartbeat(const std::string& host, int threads) override {
        const int64_t now = Now();
        const auto t = db_->Begin(true);
        if (threads > 0) t->Run(Query::Beat, {host, threads, now});
        t->Run(Query::ForgetVerifiers, {now - kHostKeptSeconds, host, threads});
        const SqlRows all = t->Run(Query::CountVerifiers, {now - kHostCountedSeconds});
        t->Commit();
        return {int(all.Int(0, 0)), int(all.Int(0, 1))};
    }

    std::string Secret(const std::string& fresh) override {
        const auto t = db_->Begin(true);
        t->Run(Query::KeepSecret, {fresh});
        const std::string secret = t->Run(Query::Secret).Text(0, 0);
        t->Commit();
        return secret;
    }

    void AddAttempt(const Attempt& a) override {
        const auto t = db_->Begin(true);
        t->Run(Query::ForgetAttempts, {a.issued - kAttemptDays * kDaySeconds});
        t->Run(Query::AddAttempt, {a.token, a.day, a.seed, a.issued});
        t->Commit();
    }

    std::vector<BoardGame> Top(int limit, int64_t since, bool all) override {
        return GamesFrom(db_->Begin(false)->Run(all ? Query::TopAll : Query::Top, {since, limit}));
    }

    std::vector<BoardGame> DayTable(const std::string& day, int limit) override {
        return GamesFrom(db_->Begin(false)->Run(Query::DayTable, {day, limit}));
    }

    std::vector<std::string> RankedDays(int limit) override {
        const SqlRows days = db_->Begin(false)->Run(Query::RankedDays, {limit});
        std::vector<std::string> list;
        for (size_t i = 0; i < days.size(); ++i) list.push_back(days.Text(i, 0));
        return list;
    }

    bool Moderate(const Moderation& act) override {
        const auto t = db_->Begin(true);
        if (act.game) {
            if (t->Run(Query::HideGame, {act.hide, act.game}).changed == 0) return false;
        } else if (act.hide) {
            if (t->Run(Query::GamesOfName, {act.name}).Int(0, 0) == 0) return false;
            t->Run(Query::HideName, {act.name});
        } else if (t->Run(Query::ShowName, {act.name}).changed == 0) {
            return false;
        }
        t->Run(Query::Audit, {act.at, act.hide ? "hide" : "show",
                              act.game ? "game " + std::to_string(act.game) : "name " + act.name,
                              act.why, act.by});
        t->Commit();
        return true;
    }

    RankCounts Counts() override {
        const SqlRows by = db_->Begin(false)->Run(Query::Counts);
        RankCounts counts;
        std::vector<std::pair<std::string, int64_t>> found;
        for (size_t i = 0; i < by.size(); ++i) {
            if (by.Int(i, 0))
                counts.hidden += by.Int(i, 3);
            else if (by.Int(i, 1))
                counts.ranked += by.Int(i, 3);
            else
                found.emplace_back(by.Text(i, 2), by.Int(i, 3));
        }
        counts.unranked = CountsByCode(found);
        return counts;
    }

    std::optional<BoardGame> Game(int64_t id) override {
        const auto games = GamesFrom(db_->Begin(false)->Run(Query::Game, {id}));
        if (games.empty()) return std::nullopt;
        return games.front();
    }

    std::optional<std::string> Recording(int64_t id) override {
        const SqlRows one = db_->Begin(false)->Run(Query::Recording, {id});
        if (one.empty()) return std::nullopt;
        return one.Text(0, 0);
    }

  private:
    static constexpr SubmissionState Queued = SubmissionState::Queued,
                                     Verifying = SubmissionState::Verifying,
                                     Stored = SubmissionState::Stored,
                                     Refused = SubmissionState::Refused;

    struct Standing {
        std::string code; // "" when ranked
        std::string day;
    };

    // The game's place on the day's tables: its attempt used up now, if it was the first use.
    static Standing Rank(SqlTransaction& t, const Job& job, const BoardGame& g, const Claim& claim,
                         int64_t uploaded) {
        std::optional<Attempt> attempt;
        if (!claim.attempt.empty()) {
            const SqlRows seen = t.Run(Query::Attempt, {claim.attempt});
            if (!seen.empty())
                attempt = Attempt{claim.attempt, seen.Text(0, 0), seen.Int(0, 1), seen.Int(0, 2),
                                  seen.Int(0, 3)};
        }
        Standing s{UnrankedCode(claim, attempt, g.frames, uploaded), claim.seedDay};
        // Two uploads under one attempt at once: the one whose use lands first keeps it.
        if (attempt && UsesAttempt(s.code) &&
            t.Run(Query::UseAttempt, {job.id, claim.attempt}).changed == 0)
            s.code = "reused";
        if (s.code.empty()) s.day = attempt->day;
        return s;
    }

    // The schema's numbered steps the database has not had yet, in order, in one transaction.
    void Upgrade() {
        const Dialect d = db_->Kind();
        const auto t = db_->Begin(true);
        t->Run(Query::SchemaLock);
        t->Exec("CREATE TABLE IF NOT EXISTS board_schema (version INTEGER NOT NULL)");
        SqlRows at = t->Run(Query::SchemaVersion);
        if (at.empty()) {
            t->Exec("INSERT INTO board_schema (version) VALUES (0)");
            at = t->Run(Query::SchemaVersion);
        }
        const int version = int(at.Int(0, 0));
        const int newest = SchemaSteps().back().version;
        if (version > newest)
            throw StoreFailure("the database is of schema version " + std::to_string(version) +
                               ", newer than this koravel-board knows (" + std::to_string(newest) +
                               "): run a newer koravel-board");
        for (const SchemaStep& step : SchemaSteps()) {
            if (step.version <= version) continue;
            for (const SchemaColumn& c : step.columns)
                if (t->Run(Query::HasColumn, {c.table, c.name}).Int(0, 0) == 0)
                    t->Exec(std::string("ALTER TABLE ") + c.table + " ADD COLUMN " + c.name + " " +
                            (d == Dialect::Sqlite ? c.sqlite : c.postgres));
            const std::string statements = d == Dialect::Sqlite ? step.sqlite : step.postgres;
            if (!statements.empty()) t->Exec(statements);
            t->Run(Query::SetSchemaVersion, {step.version});
        }
        t->Commit();
    }

    std::unique_ptr<Database> db_;
    Clock clock_;
};

} // namespace

int64_t SqlRows::Int(size_t row, size_t col) const {
    return std::strtoll(rows[row][col].c_str(), nullptr, 10);
}

std::unique_ptr<Store> OpenStore(const std::string& where, Clock clock) {
    return std::make_unique<SqlStore>(
        IsPostgresUri(where) ? OpenPostgresDatabase(where) : OpenSqliteDatabase(where), clock);
}
