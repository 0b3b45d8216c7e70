#include "board/ranking.h"

#include "board/daily.h"

int64_t LeastMillisToPlay(uint64_t frames) {
    const int64_t played = int64_t(frames) * 30;
    return played - 5000 - played / 50;
}

std::string UnrankedCode(const Claim& claim, const std::optional<Attempt>& attempt, uint64_t frames,
                         int64_t uploaded) {
    if (claim.attempt.empty()) return "none";
    if (!attempt) return "forged";
    if (!claim.first) return "later";
    if (attempt->usedBy) return "reused";
    if (!claim.machine.empty()) return "machine";
    if (claim.seed != attempt->seed) return "seed";
    if ((uploaded - attempt->issued) * 1000 < LeastMillisToPlay(frames)) return "fast";
    const auto start = DayStart(attempt->day);
    if (!start || uploaded > *start + kDaySeconds + kDayGraceSeconds) return "late";
    return "";
}

std::string UnrankedText(const std::string& code) {
    for (const UnrankedReason& r : kUnranked)
        if (code == r.code) return r.text;
    return "";
}

bool UsesAttempt(const std::string& code) {
    return code.empty() || code == "machine" || code == "seed" || code == "fast" || code == "late";
}
