#include "board/metrics.h"

#include <array>
#include <atomic>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {

std::array<std::atomic<int64_t>, 4> outcomes{};
constexpr const char* kOutcomeNames[] = {"stored", "refused", "busy", "unavailable"};

// Replays of a game take from milliseconds (a short game) to tens of seconds (six hours).
constexpr double kBuckets[] = {0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10, 30, 60};
std::mutex histogramMutex;
std::array<int64_t, std::size(kBuckets)> bucketCounts{};
int64_t verifications = 0;
double verificationSeconds = 0;

void Line(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Line(std::string& out, const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    out += text;
    out += '\n';
}

} // namespace

void CountOutcome(Outcome outcome) { ++outcomes[size_t(outcome)]; }

void CountVerification(double seconds) {
    std::lock_guard lock(histogramMutex);
    for (size_t i = 0; i < std::size(kBuckets); ++i) bucketCounts[i] += seconds <= kBuckets[i];
    ++verifications;
    verificationSeconds += seconds;
}

std::string MetricsText(const Gauges& now) {
    std::string out;
    Line(out, "# HELP koravel_submissions_total Uploads by outcome since the board started.");
    Line(out, "# TYPE koravel_submissions_total counter");
    for (size_t i = 0; i < outcomes.size(); ++i)
        Line(out, "koravel_submissions_total{outcome=\"%s\"} %" PRId64, kOutcomeNames[i],
             outcomes[i].load());
    Line(out, "# HELP koravel_verification_seconds Wall-clock time of each replay.");
    Line(out, "# TYPE koravel_verification_seconds histogram");
    {
        std::lock_guard lock(histogramMutex);
        for (size_t i = 0; i < std::size(kBuckets); ++i)
            Line(out, "koravel_verification_seconds_bucket{le=\"%g\"} %" PRId64, kBuckets[i],
                 bucketCounts[i]);
        Line(out, "koravel_verification_seconds_bucket{le=\"+Inf\"} %" PRId64, verifications);
        Line(out, "koravel_verification_seconds_sum %.6f", verificationSeconds);
        Line(out, "koravel_verification_seconds_count %" PRId64, verifications);
    }
    Line(out, "# HELP koravel_queue_depth Uploads queued or being verified.");
    Line(out, "# TYPE koravel_queue_depth gauge");
    Line(out, "koravel_queue_depth %" PRId64, now.queueDepth);
    Line(out, "# HELP koravel_open_connections Connections open at the front.");
    Line(out, "# TYPE koravel_open_connections gauge");
    Line(out, "koravel_open_connections %" PRId64, now.openConnections);
    Line(out, "# HELP koravel_verifiers Verifier threads replaying uploads, on every host.");
    Line(out, "# TYPE koravel_verifiers gauge");
    Line(out, "koravel_verifiers %" PRId64, now.verifiers);
    Line(out,
         "# HELP koravel_verifier_hosts Hosts replaying uploads (the board itself and workers) "
         "heard from in the last 30 s.");
    Line(out, "# TYPE koravel_verifier_hosts gauge");
    Line(out, "koravel_verifier_hosts %" PRId64, now.verifierHosts);
    Line(out, "# HELP koravel_ranked_games Games on a day's table, none hidden.");
    Line(out, "# TYPE koravel_ranked_games gauge");
    Line(out, "koravel_ranked_games %" PRId64, now.games.ranked);
    Line(out, "# HELP koravel_unranked_games Verified games kept off the days' tables, by reason.");
    Line(out, "# TYPE koravel_unranked_games gauge");
    for (const auto& [code, count] : now.games.unranked)
        Line(out, "koravel_unranked_games{reason=\"%s\"} %" PRId64, code.c_str(), count);
    Line(out, "# HELP koravel_hidden_games Games hidden by the moderators, or of a name hidden.");
    Line(out, "# TYPE koravel_hidden_games gauge");
    Line(out, "koravel_hidden_games %" PRId64, now.games.hidden);
    return out;
}
