// The statements of the days' tables, attempts and moderation, written once for both stores:
// parameters are "?N", which the PostgreSQL store turns into its "$N". Every query that names
// games calls them `g`.
#pragma once
#include <string>
#include <utility>
#include <vector>

// Attempts are kept this many days after they are issued, used or not.
constexpr int64_t kAttemptDays = 3;

constexpr const char* kGameColumns =
    "g.id, g.score, g.level, g.frames, g.name, g.submitted, g.rules, g.verifier, g.seed, g.day,"
    " g.ranked, g.unranked, g.machine,"
    " CASE WHEN g.hidden <> 0 OR g.name IN (SELECT name FROM hidden_names) THEN 1 ELSE 0 END,"
    " g.uploaded, g.pauses, g.paused_frames";
#define KORAVEL_VISIBLE " g.hidden = 0 AND g.name NOT IN (SELECT name FROM hidden_names) "

// The best games since ?1, at most ?2: each name's best once, or every game with `all`.
inline std::string TopSql(bool all) {
    return std::string("SELECT ") + kGameColumns +
           " FROM games g WHERE g.score > 0 AND g.submitted >= ?1 AND" KORAVEL_VISIBLE +
           (all ? ""
                : " AND g.id = (SELECT h.id FROM games h WHERE h.name = g.name AND h.score > 0"
                  " AND h.submitted >= ?1 AND h.hidden = 0 ORDER BY h.score DESC, h.id LIMIT 1)") +
           " ORDER BY g.score DESC, g.id LIMIT ?2";
}

inline const std::string kDayTable =
    std::string("SELECT ") + kGameColumns +
    " FROM games g WHERE g.day = ?1 AND g.ranked = 1 AND g.score > 0 AND" KORAVEL_VISIBLE
    " AND g.id = (SELECT h.id FROM games h WHERE h.day = ?1 AND h.ranked = 1 AND h.score > 0"
    " AND h.name = g.name AND h.hidden = 0 ORDER BY h.score DESC, h.uploaded, h.id LIMIT 1)"
    " ORDER BY g.score DESC, g.uploaded, g.id LIMIT ?2";
inline const std::string kRankedDays =
    "SELECT g.day FROM games g WHERE g.ranked = 1 AND" KORAVEL_VISIBLE
    "GROUP BY g.day ORDER BY g.day DESC LIMIT ?1";
#undef KORAVEL_VISIBLE

// A verified game from its upload's bytes, arriving time and the verdict's values.
constexpr const char* kAddGame =
    "INSERT INTO games (score, level, frames, name, submitted, rules, verifier, digest, seed, day,"
    " ranked, unranked, machine, pauses, paused_frames, recording, uploaded)"
    " SELECT ?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?10, ?11, ?12, ?13, ?14, ?15, ?16, recording,"
    " submitted"
    " FROM submissions WHERE id = ?9";
// An attempt used up by upload ?1, if no upload used it before (no change: one did).
constexpr const char* kUseAttempt =
    "UPDATE attempts SET used_by = ?1 WHERE token = ?2 AND used_by IS NULL";
constexpr const char* kAttempt =
    "SELECT day, seed, issued, coalesce(used_by, 0) FROM attempts WHERE token = ?1";
constexpr const char* kAddAttempt =
    "INSERT INTO attempts (token, day, seed, issued) VALUES (?1, ?2, ?3, ?4)";
constexpr const char* kForgetAttempts = "DELETE FROM attempts WHERE issued < ?1";
constexpr const char* kKeepSecret =
    "INSERT INTO board_secret (id, secret) VALUES (1, ?1) ON CONFLICT (id) DO NOTHING";
constexpr const char* kSecret = "SELECT secret FROM board_secret WHERE id = 1";
constexpr const char* kHideGame = "UPDATE games SET hidden = ?1 WHERE id = ?2";
constexpr const char* kGamesOfName = "SELECT count(*) FROM games WHERE name = ?1";
constexpr const char* kHideName =
    "INSERT INTO hidden_names (name) VALUES (?1) ON CONFLICT (name) DO NOTHING";
constexpr const char* kShowName = "DELETE FROM hidden_names WHERE name = ?1";
constexpr const char* kAudit =
    "INSERT INTO moderation (at, action, target, why, operator) VALUES (?1, ?2, ?3, ?4, ?5)";
// Hidden (0 or 1), ranked, the reason code, and how many games are so.
constexpr const char* kCounts =
    "SELECT CASE WHEN g.hidden <> 0 OR g.name IN (SELECT name FROM hidden_names) THEN 1 ELSE 0"
    " END, g.ranked, g.unranked, count(*) FROM games g GROUP BY 1, 2, 3";

// Every code of kUnranked with its count among `found` (0 for those not found).
std::vector<std::pair<std::string, int64_t>>
CountsByCode(const std::vector<std::pair<std::string, int64_t>>& found);
