// What an operator watches: counts kept since the board started, written in Prometheus's text
// format at GET /metrics.
#pragma once
#include <cstdint>
#include <string>

#include "board/store.h"

enum class Outcome { Stored, Refused, Busy, Unavailable };

// Counted where they happen: a verdict kept, an upload turned away (busy, or the store down).
void CountOutcome(Outcome outcome);
// One replay's wall-clock time.
void CountVerification(double seconds);

struct Gauges {
    int64_t queueDepth = 0; // uploads queued or being verified
    int64_t openConnections = 0;
    int64_t verifiers = 0;
    int64_t verifierHosts = 0;
    RankCounts games;
};
std::string MetricsText(const Gauges& now);
