// Where the board keeps its games and the uploads waiting for a verdict: a small interface,
// written once (sql_store.cpp) over two databases, SQLite (one file, one host) and PostgreSQL
// (any number of front ends and verifier workers on other hosts sharing one database).
//
// Thread safety: one Store object may be called from any number of threads at once, and any
// number of processes may share a PostgreSQL store. Each call is one transaction, atomic on its
// own; no call sees another's half. A call that cannot reach the store throws StoreFailure,
// whose message says why in one line (and never holds a password).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "board/clock.h"
#include "board/ranking.h"

// One verified game: what its recording's replay showed, never what a client claimed.
struct BoardGame {
    int64_t id = 0;
    int score = 0;
    int level = 0;
    uint64_t frames = 0;   // the frame its game over came on
    std::string name;      // the initials entered in the game, or empty
    int64_t submitted = 0; // Unix seconds
    int rules = 1;         // the rules it was played and replayed by
    std::string verifier;  // the build whose replay proved it ("koravel-sim 1.2.0")
    int64_t seed = 0;
    std::string day;           // the day whose field it was played on, or empty
    bool ranked = false;       // on that day's table
    std::string unranked;      // else why not: a code of kUnranked
    std::string machine;       // what its recording says drove it, or empty
    bool hidden = false;       // by a moderator, the game itself or its name
    int64_t uploaded = 0;      // Unix seconds its first upload arrived
    int pauses = 0;            // how often its player paused it
    uint64_t pausedFrames = 0; // and the frames the pauses lasted
};

// A moderator's act, noted with its time, reason and operator in the audit table.
struct Moderation {
    bool hide = true;
    int64_t game = 0; // the game; 0 for every game of `name`
    std::string name;
    std::string why, by;
    int64_t at = 0;
};

// What /metrics counts of the games kept (hidden ones only as hidden).
struct RankCounts {
    int64_t ranked = 0, hidden = 0;
    std::vector<std::pair<std::string, int64_t>> unranked; // by code, every code of kUnranked
};

// Every code of kUnranked with its count among `found` (0 for those not found).
std::vector<std::pair<std::string, int64_t>>
CountsByCode(const std::vector<std::pair<std::string, int64_t>>& found);

// An upload, from its arrival to its verdict.
enum class SubmissionState { Queued, Verifying, Stored, Refused };
struct Submission {
    int64_t id = 0;
    SubmissionState state = SubmissionState::Queued;
    int64_t game = 0;     // stored: the game it holds
    bool newGame = false; // stored: this upload put the game on the board (else it was there)
    std::string reason;   // refused: why
};

// An upload a verifier has taken, on a lease: a verifier that dies leaves it to be taken again
// once the lease runs out, and a verdict is kept only from the lease's holder.
struct Job {
    int64_t id = 0;
    int64_t attempt = 0; // which taking of the upload this is
    std::string recording;
    std::string which; // best, last or the frame a game ended on
};

// The verifier hosts heard from lately, and their verifiers in all.
struct VerifierCount {
    int hosts = 0;
    int threads = 0;
};

struct StoreFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Unix seconds. Every time the store keeps (uploads, leases, verifiers heard from) is read
// from the one it was opened with.
using Clock = std::function<int64_t()>;

class Store {
  public:
    virtual ~Store() = default;

    // The store's clock, which the board reads for every other time too.
    virtual int64_t Now() = 0;
    // The numbered schema step the database is at.
    virtual int SchemaVersion() = 0;
    // Keeps an upload until it is verified. The same bytes sent again for the same game give
    // the submission they were first kept as, whatever became of it.
    virtual Submission Enqueue(const std::string& recording, const std::string& which) = 0;
    virtual std::optional<Submission> SubmissionById(int64_t id) = 0;
    // Uploads queued or being verified.
    virtual int64_t Pending() = 0;
    // The oldest queued upload (or one whose lease ran out), now being verified for
    // `leaseSeconds` by the caller alone. Two callers never take the same job at once.
    virtual std::optional<Job> TakeJob(int leaseSeconds) = 0;
    // A job no verifier could run (no room, say) goes back to the queue.
    virtual void ReturnJob(const Job& job) = 0;
    // The verdicts, kept only while the job's lease is the caller's (else nullopt / false: the
    // job was taken again and its new holder gives the verdict). A game is known by its
    // identity: the first upload of a game owns it, and later ones are stored as that game.
    // The day's table: the claim's attempt is checked and used up in the same transaction, so
    // that of two uploads under one attempt only one is ranked.
    virtual std::optional<Submission> StoreGame(const Job& job, const BoardGame& game,
                                                const std::string& identity,
                                                const Claim& claim) = 0;
    virtual bool RefuseJob(const Job& job, const std::string& reason) = 0;
    // At start-up of the one board a SQLite file has: uploads a killed board left
    // half-verified go back to the queue at once. Shared stores wait for the leases instead.
    virtual int RequeueAbandoned() = 0;
    // A verifier host says it is alive with `threads` verifiers (0: it is leaving); the
    // answer counts the hosts seen in the last half minute and their verifiers.
    virtual VerifierCount Heartbeat(const std::string& host, int threads) = 0;

    // The board's secret, which the days' fields come from: the one kept, or `fresh`, kept now,
    // when there was none (a new board). Every host sharing the store gets the same.
    virtual std::string Secret(const std::string& fresh) = 0;
    // An attempt issued (attempts issued days ago are forgotten meanwhile).
    virtual void AddAttempt(const Attempt& attempt) = 0;

    // The best games, highest score first (the earlier game first on a tie), submitted at or
    // after `since` (Unix seconds), of more than 0 points, none hidden: each name's best game
    // once, or every game with `all`.
    virtual std::vector<BoardGame> Top(int limit, int64_t since, bool all) = 0;
    // A day's table: its ranked games of more than 0 points, none hidden, each name's best
    // once, highest first, on a tie the earlier upload.
    virtual std::vector<BoardGame> DayTable(const std::string& day, int limit) = 0;
    // The days with ranked games, the latest first.
    virtual std::vector<std::string> RankedDays(int limit) = 0;
    // Hides or shows a game, or every game of a name. False when there is no such game (or
    // the name was not hidden, to show it again).
    virtual bool Moderate(const Moderation& act) = 0;
    virtual RankCounts Counts() = 0;
    virtual std::optional<BoardGame> Game(int64_t id) = 0;
    virtual std::optional<std::string> Recording(int64_t id) = 0;
};

// The hex SHA-256 of some bytes: how both stores know an upload sent again.
std::string Sha256Hex(const std::string& bytes);

// The store `where` names: a postgresql:// (or postgres://) URI, else a SQLite file, its schema
// brought up to date. Refuses, with std::runtime_error and the reason in one line (never a
// password), a server that cannot be reached, a path that is a link, a file that is not a
// board, a database that cannot be written or one of a newer schema. Once open, a SQLite write
// finding the file gone or replaced throws StoreFailure.
std::unique_ptr<Store> OpenStore(const std::string& where, Clock clock = BoardNow);
bool IsPostgresUri(const std::string& where);
// `where` without its password, fit to be said in a message.
std::string Redacted(const std::string& where);

// An online copy of a SQLite board (SQLite's backup API: boards may go on writing meanwhile),
// written to a new file and renamed into place when whole. False, with why, when it cannot.
bool BackupSqlite(const std::string& path, const std::string& to, std::string& why);
