// When a verified game goes on its day's table. Everything here is what the board itself saw
// (the attempt it issued, when the upload arrived) or what the replay showed (the seed, the
// frames, the lines the recording carries); a client modified to lie about its machine line,
// or to wait out the time, still can, and docs/board.md says so.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

// What a verified recording says of its game's origin.
struct Claim {
    int64_t seed = 0;
    std::string attempt; // the token the recording carries, or empty
    std::string machine; // what the recording says drove it, or empty (a person)
    bool first = true;   // the run's first game: the one played on the field its seed gives
    std::string seedDay; // the day whose field the seed is, when it is a recent one
};

// An attempt the board issued, and the upload that used it (0: none yet).
struct Attempt {
    std::string token, day;
    int64_t seed = 0, issued = 0;
    int64_t usedBy = 0;
};

// A game's upload may end the day's play this long after midnight (UTC).
constexpr int64_t kDayGraceSeconds = 1800;
// Frames take 30 ms: a game of F frames took at least this many milliseconds of wall time from
// its attempt to its upload (5 s and a fiftieth less, for clocks read in whole seconds).
int64_t LeastMillisToPlay(uint64_t frames);

// Why a game is not ranked, as one of the codes of kUnranked, or "" when it is. `attempt` is
// the board's record of the claimed token (nothing when it issued none such); its usedBy is
// the upload that used it before this one, if any.
std::string UnrankedCode(const Claim& claim, const std::optional<Attempt>& attempt, uint64_t frames,
                         int64_t uploaded);

// Whether a game of that standing uses its attempt up: it was played under it, as the first
// game of its run, whatever else it lacked.
bool UsesAttempt(const std::string& code);

struct UnrankedReason {
    const char* code;
    const char* text;
};
constexpr UnrankedReason kUnranked[] = {
    {"none", "played under no attempt the board issued"},
    {"forged", "its attempt is not one the board issued"},
    {"later", "not the first game of its recording (only that one is played on the day's field)"},
    {"reused", "its attempt was used by an earlier upload"},
    {"machine", "the recording says a machine played it"},
    {"seed", "played on another seed than its attempt's"},
    {"fast", "uploaded sooner after its attempt than the game takes to play"},
    {"late", "uploaded after its day ended"},
};
// The text of a code ("" for "").
std::string UnrankedText(const std::string& code);
