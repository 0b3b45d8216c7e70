// Where the board keeps its games and the uploads waiting for a verdict: a small interface, so
// that a bigger store (PostgreSQL) can take SQLite's place without the server noticing.
//
// Every member may be called from any thread at once; each call is one transaction. A call that
// cannot reach the store throws StoreFailure, whose message says why in one line.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

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
};

// An upload, from its arrival to its verdict.
enum class SubmissionState { Queued, Verifying, Stored, Refused };
struct Submission {
    int64_t id = 0;
    SubmissionState state = SubmissionState::Queued;
    int64_t game = 0;     // stored: the game it holds
    bool newGame = false; // stored: this upload put the game on the board (else it was there)
    std::string reason;   // refused: why
};

// An upload a verifier has taken.
struct Job {
    int64_t id = 0;
    std::string recording;
    std::string which; // best, last or the frame a game ended on
};

struct StoreFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Store {
  public:
    virtual ~Store() = default;

    // Keeps an upload until it is verified. The same bytes sent again for the same game give
    // the submission they were first kept as, whatever became of it.
    virtual Submission Enqueue(const std::string& recording, const std::string& which,
                               int64_t now) = 0;
    virtual std::optional<Submission> SubmissionById(int64_t id) = 0;
    // Uploads queued or being verified.
    virtual int64_t Pending() = 0;
    // The oldest queued upload, now marked as being verified.
    virtual std::optional<Job> TakeJob() = 0;
    // A job no verifier could run (no room, say) goes back to the queue.
    virtual void ReturnJob(int64_t job) = 0;
    // The verdicts. A game is known by its identity: the first upload of a game owns it, and
    // later ones are stored as that same game.
    virtual Submission StoreGame(int64_t job, const BoardGame& game,
                                 const std::string& identity) = 0;
    virtual void RefuseJob(int64_t job, const std::string& reason) = 0;
    // At start-up: uploads a killed board left half-verified go back to the queue.
    virtual int RequeueAbandoned() = 0;

    // The best games, highest score first (the earlier game first on a tie), submitted at or
    // after `since` (Unix seconds), of more than 0 points: each name's best game once, or
    // every game with `all`.
    virtual std::vector<BoardGame> Top(int limit, int64_t since, bool all) = 0;
    virtual std::optional<BoardGame> Game(int64_t id) = 0;
    virtual std::optional<std::string> Recording(int64_t id) = 0;
};

// SQLite in WAL mode, one file. Refuses, with std::runtime_error and the reason in a few words,
// a path that is a link, a file that is not a board or cannot be written. Once open, a write
// finding the file gone or replaced throws StoreFailure.
std::unique_ptr<Store> OpenSqliteStore(const std::string& path);
// An online copy of a SQLite board (SQLite's backup API: boards may go on writing meanwhile),
// written to a new file and renamed into place when whole. False, with why, when it cannot.
bool BackupSqlite(const std::string& path, const std::string& to, std::string& why);
