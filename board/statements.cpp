#include "board/statements.h"

#include <array>
#include <stdexcept>

namespace {

// The columns every query that lists games gives, in the order BoardGame is read.
#define KORAVEL_GAME_COLUMNS                                                                       \
    "g.id, g.score, g.level, g.frames, g.name, g.submitted, g.rules, g.verifier, g.seed, g.day,"   \
    " g.ranked, g.unranked, g.machine,"                                                            \
    " CASE WHEN g.hidden <> 0 OR g.name IN (SELECT name FROM hidden_names) THEN 1 ELSE 0 END,"     \
    " g.uploaded, g.pauses, g.paused_frames"
#define KORAVEL_VISIBLE " g.hidden = 0 AND g.name NOT IN (SELECT name FROM hidden_names) "
#define KORAVEL_SUBMISSION_COLUMNS "id, state, coalesce(game, 0), new_game, coalesce(reason, '')"
// The best games since ?1, at most ?2.
#define KORAVEL_TOP                                                                                \
    "SELECT " KORAVEL_GAME_COLUMNS                                                                 \
    " FROM games g WHERE g.score > 0 AND g.submitted >= ?1 AND" KORAVEL_VISIBLE
#define KORAVEL_TOP_ORDER " ORDER BY g.score DESC, g.id LIMIT ?2"

struct Text {
    Query query;
    const char* name;
    const char* sqlite;
    const char* postgres; // nullptr: SQLite's
};

// clang-format off
constexpr Text kTexts[] = {
    {Query::AddSubmission, "add submission",
     "INSERT INTO submissions (upload, which, state, recording, submitted)"
     " VALUES (?1, ?2, ?3, ?4, ?5) ON CONFLICT (upload) DO NOTHING RETURNING id", nullptr},
    {Query::SubmissionByUpload, "submission by upload",
     "SELECT " KORAVEL_SUBMISSION_COLUMNS " FROM submissions WHERE upload = ?1", nullptr},
    {Query::SubmissionById, "submission",
     "SELECT " KORAVEL_SUBMISSION_COLUMNS " FROM submissions WHERE id = ?1", nullptr},
    {Query::Pending, "pending", "SELECT count(*) FROM submissions WHERE state = ?1 OR state = ?2",
     nullptr},
    // ?1 verifying, ?2 the lease's end, ?3 queued, ?4 now. Verifiers on many hosts skip the
    // rows another is taking instead of waiting for it.
    {Query::TakeJob, "take job",
     "UPDATE submissions SET state = ?1, attempt = attempt + 1, lease_until = ?2"
     " WHERE id = (SELECT id FROM submissions WHERE state = ?3 OR (state = ?1 AND lease_until < ?4)"
     " ORDER BY id LIMIT 1) RETURNING id, attempt, recording, which",
     "UPDATE submissions SET state = $1, attempt = attempt + 1, lease_until = $2"
     " WHERE id = (SELECT id FROM submissions WHERE state = $3 OR (state = $1 AND lease_until < $4)"
     " ORDER BY id LIMIT 1 FOR UPDATE SKIP LOCKED) RETURNING id, attempt, recording, which"},
    {Query::ReturnJob, "return job",
     "UPDATE submissions SET state = ?1 WHERE id = ?2 AND state = ?3 AND attempt = ?4", nullptr},
    // The job's lease still the caller's, and when its upload arrived.
    {Query::HoldJob, "hold job",
     "SELECT submitted FROM submissions WHERE id = ?1 AND state = ?2 AND attempt = ?3",
     "SELECT submitted FROM submissions WHERE id = $1 AND state = $2 AND attempt = $3 FOR UPDATE"},
    {Query::GameByDigest, "game by digest", "SELECT id FROM games WHERE digest = ?1", nullptr},
    // A verified game from its upload's bytes and arriving time, and the verdict's values.
    {Query::AddGame, "add game",
     "INSERT INTO games (score, level, frames, name, submitted, rules, verifier, digest, seed, day,"
     " ranked, unranked, machine, pauses, paused_frames, recording, uploaded)"
     " SELECT ?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?10, ?11, ?12, ?13, ?14, ?15, ?16, recording,"
     " submitted FROM submissions WHERE id = ?9 ON CONFLICT (digest) DO NOTHING RETURNING id",
     nullptr},
    {Query::JobStored, "job stored",
     "UPDATE submissions SET state = ?1, game = ?2, new_game = ?3, recording = NULL WHERE id = ?4",
     nullptr},
    {Query::RefuseJob, "refuse job",
     "UPDATE submissions SET state = ?1, reason = ?2, recording = NULL"
     " WHERE id = ?3 AND state = ?4 AND attempt = ?5", nullptr},
    {Query::RequeueTaken, "requeue taken", "UPDATE submissions SET state = ?1 WHERE state = ?2",
     nullptr},
    {Query::Attempt, "attempt",
     "SELECT day, seed, issued, coalesce(used_by, 0) FROM attempts WHERE token = ?1", nullptr},
    // Used up by upload ?1 if no upload used it before (no change: one did).
    {Query::UseAttempt, "use attempt",
     "UPDATE attempts SET used_by = ?1 WHERE token = ?2 AND used_by IS NULL", nullptr},
    {Query::UnuseAttempt, "unuse attempt",
     "UPDATE attempts SET used_by = NULL WHERE token = ?1 AND used_by = ?2", nullptr},
    {Query::AddAttempt, "add attempt",
     "INSERT INTO attempts (token, day, seed, issued) VALUES (?1, ?2, ?3, ?4)", nullptr},
    {Query::ForgetAttempts, "forget attempts", "DELETE FROM attempts WHERE issued < ?1", nullptr},
    {Query::KeepSecret, "keep secret",
     "INSERT INTO board_secret (id, secret) VALUES (1, ?1) ON CONFLICT (id) DO NOTHING", nullptr},
    {Query::Secret, "secret", "SELECT secret FROM board_secret WHERE id = 1", nullptr},
    {Query::Beat, "beat",
     "INSERT INTO verifiers (host, threads, seen) VALUES (?1, ?2, ?3) ON CONFLICT (host)"
     " DO UPDATE SET threads = excluded.threads, seen = excluded.seen", nullptr},
    // Hosts quiet since ?1 are forgotten; one leaving (?3 = 0) says so.
    {Query::ForgetVerifiers, "forget verifiers",
     "DELETE FROM verifiers WHERE seen < ?1 OR (host = ?2 AND ?3 = 0)", nullptr},
    {Query::CountVerifiers, "count verifiers",
     "SELECT count(*), coalesce(sum(threads), 0) FROM verifiers WHERE seen >= ?1", nullptr},
    // Each name's best once.
    {Query::Top, "top",
     KORAVEL_TOP " AND g.id = (SELECT h.id FROM games h WHERE h.name = g.name AND h.score > 0"
     " AND h.submitted >= ?1 AND h.hidden = 0 ORDER BY h.score DESC, h.id LIMIT 1)"
     KORAVEL_TOP_ORDER, nullptr},
    {Query::TopAll, "top all", KORAVEL_TOP KORAVEL_TOP_ORDER, nullptr},
    {Query::DayTable, "day table",
     "SELECT " KORAVEL_GAME_COLUMNS
     " FROM games g WHERE g.day = ?1 AND g.ranked = 1 AND g.score > 0 AND" KORAVEL_VISIBLE
     " AND g.id = (SELECT h.id FROM games h WHERE h.day = ?1 AND h.ranked = 1 AND h.score > 0"
     " AND h.name = g.name AND h.hidden = 0 ORDER BY h.score DESC, h.uploaded, h.id LIMIT 1)"
     " ORDER BY g.score DESC, g.uploaded, g.id LIMIT ?2", nullptr},
    {Query::RankedDays, "ranked days",
     "SELECT g.day FROM games g WHERE g.ranked = 1 AND" KORAVEL_VISIBLE
     "GROUP BY g.day ORDER BY g.day DESC LIMIT ?1", nullptr},
    {Query::Game, "game", "SELECT " KORAVEL_GAME_COLUMNS " FROM games g WHERE g.id = ?1", nullptr},
    {Query::Recording, "recording", "SELECT recording FROM games WHERE id = ?1", nullptr},
    {Query::HideGame, "hide game", "UPDATE games SET hidden = ?1 WHERE id = ?2", nullptr},
    {Query::GamesOfName, "games of name", "SELECT count(*) FROM games WHERE name = ?1", nullptr},
    {Query::HideName, "hide name",
     "INSERT INTO hidden_names (name) VALUES (?1) ON CONFLICT (name) DO NOTHING", nullptr},
    {Query::ShowName, "show name", "DELETE FROM hidden_names WHERE name = ?1", nullptr},
    {Query::Audit, "audit",
     "INSERT INTO moderation (at, action, target, why, operator) VALUES (?1, ?2, ?3, ?4, ?5)",
     nullptr},
    // Hidden (0 or 1), ranked, the reason code, and how many games are so.
    {Query::Counts, "counts",
     "SELECT CASE WHEN g.hidden <> 0 OR g.name IN (SELECT name FROM hidden_names) THEN 1 ELSE 0"
     " END, g.ranked, g.unranked, count(*) FROM games g GROUP BY 1, 2, 3", nullptr},
    // Boards starting together upgrade the schema once: SQLite's writing transaction is already
    // the only one.
    {Query::SchemaLock, "schema lock", "SELECT 1", "SELECT pg_advisory_xact_lock(7242031)"},
    {Query::HasColumn, "has column",
     "SELECT count(*) FROM pragma_table_info(?1) WHERE name = ?2",
     "SELECT count(*) FROM information_schema.columns WHERE table_schema = current_schema()"
     " AND table_name = $1 AND column_name = $2"},
    {Query::SchemaVersion, "schema version", "SELECT version FROM board_schema", nullptr},
    {Query::SetSchemaVersion, "set schema version", "UPDATE board_schema SET version = ?1",
     nullptr},
};
// clang-format on

std::string Dollars(std::string sql) {
    for (size_t at = sql.find('?'); at != std::string::npos; at = sql.find('?', at + 1))
        sql[at] = '$';
    return sql;
}

struct Texts {
    std::array<std::string, std::size(kTexts)> sqlite, postgres;
    Texts() {
        for (size_t i = 0; i < std::size(kTexts); ++i) {
            if (size_t(kTexts[i].query) != i) throw std::logic_error("statements out of order");
            sqlite[i] = kTexts[i].sqlite;
            postgres[i] = kTexts[i].postgres ? kTexts[i].postgres : Dollars(kTexts[i].sqlite);
        }
    }
};

const Texts& AllTexts() {
    static const Texts texts;
    return texts;
}

} // namespace

const char* QueryName(Query query) { return kTexts[size_t(query)].name; }

const std::string& QueryText(Query query, Dialect dialect) {
    const Texts& t = AllTexts();
    return dialect == Dialect::Sqlite ? t.sqlite[size_t(query)] : t.postgres[size_t(query)];
}

const std::vector<SchemaStep>& SchemaSteps() {
    // clang-format off
    static const std::vector<SchemaStep> steps = {
        {1, "games and uploads",
         "CREATE TABLE IF NOT EXISTS games (id INTEGER PRIMARY KEY,"
         " score INTEGER NOT NULL, level INTEGER NOT NULL, frames INTEGER NOT NULL,"
         " name TEXT NOT NULL, submitted INTEGER NOT NULL,"
         " recording BLOB NOT NULL, digest TEXT NOT NULL UNIQUE);"
         "CREATE INDEX IF NOT EXISTS games_by_score ON games (score DESC, id);"
         "CREATE INDEX IF NOT EXISTS games_by_name ON games (name, score DESC, id);"
         // An upload keeps its bytes only until its verdict; `upload` is their digest.
         "CREATE TABLE IF NOT EXISTS submissions (id INTEGER PRIMARY KEY,"
         " upload TEXT NOT NULL UNIQUE, which TEXT NOT NULL, state INTEGER NOT NULL,"
         " recording BLOB, game INTEGER, new_game INTEGER NOT NULL DEFAULT 0, reason TEXT,"
         " submitted INTEGER NOT NULL);"
         "CREATE INDEX IF NOT EXISTS submissions_by_state ON submissions (state, id)",
         "CREATE TABLE IF NOT EXISTS games (id BIGSERIAL PRIMARY KEY,"
         " score INTEGER NOT NULL, level INTEGER NOT NULL, frames BIGINT NOT NULL,"
         " name TEXT NOT NULL, submitted BIGINT NOT NULL,"
         " recording BYTEA NOT NULL, digest TEXT NOT NULL UNIQUE);"
         "CREATE INDEX IF NOT EXISTS games_by_score ON games (score DESC, id);"
         "CREATE INDEX IF NOT EXISTS games_by_name ON games (name, score DESC, id);"
         "CREATE TABLE IF NOT EXISTS submissions (id BIGSERIAL PRIMARY KEY,"
         " upload TEXT NOT NULL UNIQUE, which TEXT NOT NULL, state INTEGER NOT NULL,"
         " recording BYTEA, game BIGINT, new_game INTEGER NOT NULL DEFAULT 0, reason TEXT,"
         " submitted BIGINT NOT NULL);"
         "CREATE INDEX IF NOT EXISTS submissions_by_state ON submissions (state, id)",
         {}},
        // Games from before the rules were numbered played rules 1.
        {2, "the rules and the verifier of each game", "", "",
         {{"games", "rules", "INTEGER NOT NULL DEFAULT 1", "INTEGER NOT NULL DEFAULT 1"},
          {"games", "verifier", "TEXT NOT NULL DEFAULT ''", "TEXT NOT NULL DEFAULT ''"}}},
        {3, "verifiers on leases, on any host",
         "CREATE TABLE IF NOT EXISTS verifiers (host TEXT PRIMARY KEY,"
         " threads INTEGER NOT NULL, seen INTEGER NOT NULL)",
         "CREATE TABLE IF NOT EXISTS verifiers (host TEXT PRIMARY KEY,"
         " threads INTEGER NOT NULL, seen BIGINT NOT NULL)",
         {{"submissions", "attempt", "INTEGER NOT NULL DEFAULT 0", "BIGINT NOT NULL DEFAULT 0"},
          {"submissions", "lease_until", "INTEGER", "BIGINT"}}},
        // Games from before the days' tables ranked nothing.
        {4, "the days' tables, attempts, moderation and pauses",
         "CREATE TABLE IF NOT EXISTS attempts (token TEXT PRIMARY KEY, day TEXT NOT NULL,"
         " seed INTEGER NOT NULL, issued INTEGER NOT NULL, used_by INTEGER);"
         "CREATE INDEX IF NOT EXISTS attempts_by_issued ON attempts (issued);"
         "CREATE TABLE IF NOT EXISTS hidden_names (name TEXT PRIMARY KEY);"
         "CREATE TABLE IF NOT EXISTS moderation (id INTEGER PRIMARY KEY, at INTEGER NOT NULL,"
         " action TEXT NOT NULL, target TEXT NOT NULL, why TEXT NOT NULL, operator TEXT NOT NULL);"
         "CREATE TABLE IF NOT EXISTS board_secret (id INTEGER PRIMARY KEY, secret TEXT NOT NULL);"
         "CREATE INDEX IF NOT EXISTS games_by_day ON games (day, ranked, score DESC, uploaded, id)",
         "CREATE TABLE IF NOT EXISTS attempts (token TEXT PRIMARY KEY, day TEXT NOT NULL,"
         " seed BIGINT NOT NULL, issued BIGINT NOT NULL, used_by BIGINT);"
         "CREATE INDEX IF NOT EXISTS attempts_by_issued ON attempts (issued);"
         "CREATE TABLE IF NOT EXISTS hidden_names (name TEXT PRIMARY KEY);"
         "CREATE TABLE IF NOT EXISTS moderation (id BIGSERIAL PRIMARY KEY, at BIGINT NOT NULL,"
         " action TEXT NOT NULL, target TEXT NOT NULL, why TEXT NOT NULL, operator TEXT NOT NULL);"
         "CREATE TABLE IF NOT EXISTS board_secret (id INTEGER PRIMARY KEY, secret TEXT NOT NULL);"
         "CREATE INDEX IF NOT EXISTS games_by_day ON games (day, ranked, score DESC, uploaded, id)",
         {{"games", "seed", "INTEGER NOT NULL DEFAULT 0", "BIGINT NOT NULL DEFAULT 0"},
          {"games", "day", "TEXT NOT NULL DEFAULT ''", "TEXT NOT NULL DEFAULT ''"},
          {"games", "ranked", "INTEGER NOT NULL DEFAULT 0", "INTEGER NOT NULL DEFAULT 0"},
          {"games", "unranked", "TEXT NOT NULL DEFAULT 'none'", "TEXT NOT NULL DEFAULT 'none'"},
          {"games", "machine", "TEXT NOT NULL DEFAULT ''", "TEXT NOT NULL DEFAULT ''"},
          {"games", "hidden", "INTEGER NOT NULL DEFAULT 0", "INTEGER NOT NULL DEFAULT 0"},
          {"games", "uploaded", "INTEGER NOT NULL DEFAULT 0", "BIGINT NOT NULL DEFAULT 0"},
          {"games", "pauses", "INTEGER NOT NULL DEFAULT 0", "INTEGER NOT NULL DEFAULT 0"},
          {"games", "paused_frames", "INTEGER NOT NULL DEFAULT 0", "BIGINT NOT NULL DEFAULT 0"}}},
    };
    // clang-format on
    return steps;
}
