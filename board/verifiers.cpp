#include "board/verifiers.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "board/front.h"
#include "board/metrics.h"
#include "format/recording.h"

namespace {

// A reason goes to the store and to clients as JSON: only printable ASCII of it, whatever a
// recording made koravel-sim quote.
std::string Printable(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c < 0x20 || c > 0x7e) c = '?';
    return out;
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) std::snprintf(name, sizeof name, "unknown");
    return std::string(name) + ":" + std::to_string(::getpid());
}

} // namespace

Verifiers::Verifiers(const VerifierSettings& settings, Store& store, const DailyFields& fields)
    : s_(settings), store_(store), fields_(fields), seen_(settings.count), host_(HostName()) {
    for (int i = 0; i < s_.count; ++i) threads_.emplace_back([this] { Work(); });
    beating_ = std::thread([this] { Beat(); });
}

void Verifiers::Wake() { wake_.notify_one(); }

void Verifiers::Stop() {
    stopping_ = true;
    wake_.notify_all();
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
    threads_.clear();
    if (beating_.joinable()) beating_.join();
}

// Every few seconds: this host's verifiers, for the others' count; and theirs, for ours.
void Verifiers::Beat() {
    for (bool leaving = false; !leaving;) {
        leaving = stopping_;
        try {
            const VerifierCount heard = store_.Heartbeat(host_, leaving ? 0 : s_.count);
            seen_ = heard.threads;
            hosts_ = heard.hosts;
        } catch (const StoreFailure& e) {
            LogLine(std::string("verifiers cannot be counted: ") + e.what());
        }
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::seconds(5), [this] { return bool(stopping_); });
    }
}

void Verifiers::Work() {
    while (!stopping_) {
        std::optional<Job> job;
        try {
            job = store_.TakeJob(s_.limits.wallSeconds + kLeaseMargin);
        } catch (const StoreFailure& e) {
            LogLine(std::string("a verifier cannot take work: ") + e.what());
        }
        if (!job) {
            std::unique_lock lock(mutex_);
            // Uploads to other front ends wake no one here.
            wake_.wait_for(lock, std::chrono::milliseconds(500));
            continue;
        }
        try {
            Judge(*job);
        } catch (const StoreFailure& e) {
            LogLine("upload " + std::to_string(job->id) +
                    " was verified, but its verdict could not be kept: " + e.what());
        }
    }
}

void Verifiers::Judge(const Job& job) {
    const auto start = std::chrono::steady_clock::now();
    const Verdict v =
        VerifyRecording(s_.sim, s_.workFolder, job.recording, s_.maxFrames, s_.limits, stopping_);
    if (!v.retry)
        CountVerification(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (v.retry) {
        // Not the upload's fault: it waits for a verifier that can run.
        if (!stopping_) LogLine("upload " + std::to_string(job.id) + " waits: " + v.reason);
        store_.ReturnJob(job);
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::seconds(2), [this] { return bool(stopping_); });
        return;
    }
    if (v.ours) LogLine("upload " + std::to_string(job.id) + ": " + v.reason);
    if (!v.ok) return Refuse(job, v.reason);
    if (v.games.empty()) return Refuse(job, "no game in the recording reached its end");
    int64_t wantFrame = -1;
    ParseWholeNumber(job.which, 0, INT64_MAX, wantFrame);
    const VerifiedGame* chosen = nullptr;
    for (const VerifiedGame& g : v.games) {
        if (job.which == "best" && (!chosen || g.score > chosen->score)) chosen = &g;
        if (job.which == "last") chosen = &g;
        if (wantFrame >= 0 && g.frame == uint64_t(wantFrame)) chosen = &g;
    }
    if (!chosen) return Refuse(job, "no game of the recording ended on that frame");
    const int64_t now = store_.Now();
    BoardGame game;
    game.score = chosen->score;
    game.level = chosen->level;
    game.frames = chosen->frame;
    game.name = chosen->name;
    game.submitted = now;
    game.rules = chosen->rules;
    game.verifier = chosen->verifier;
    game.pauses = chosen->pauses;
    game.pausedFrames = chosen->pausedFrames;
    const Claim claim{chosen->seed, chosen->attempt, chosen->machine, chosen->first,
                      fields_.DayOfSeed(chosen->seed, now)};
    if (const auto kept = store_.StoreGame(job, game, chosen->identity, claim)) {
        CountOutcome(Outcome::Stored);
        LogLine("upload " + std::to_string(job.id) + ": kept as game " +
                std::to_string(kept->game));
    } else {
        Overtaken(job);
    }
}

void Verifiers::Refuse(const Job& job, const std::string& why) {
    if (store_.RefuseJob(job, Printable(why))) {
        CountOutcome(Outcome::Refused);
        LogLine("upload " + std::to_string(job.id) + ": refused: " + Printable(why));
    } else {
        Overtaken(job);
    }
}

// The lease ran out before the verdict (a very slow host): the job's new holder says it.
void Verifiers::Overtaken(const Job& job) {
    LogLine("upload " + std::to_string(job.id) +
            ": verified after its lease ran out; the verifier that took it again decides");
}
