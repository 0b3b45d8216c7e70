#include "board/verifiers.h"

#include <chrono>

#include "board/front.h"
#include "board/metrics.h"
#include "format/recording.h"

namespace {

int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

Verifiers::Verifiers(const VerifierSettings& settings, Store& store) : s_(settings), store_(store) {
    for (int i = 0; i < s_.count; ++i) threads_.emplace_back([this] { Work(); });
}

void Verifiers::Wake() { wake_.notify_one(); }

void Verifiers::Stop() {
    stopping_ = true;
    wake_.notify_all();
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
    threads_.clear();
}

void Verifiers::Work() {
    while (!stopping_) {
        std::optional<Job> job;
        try {
            job = store_.TakeJob();
        } catch (const StoreFailure& e) {
            LogLine(std::string("a verifier cannot take work: ") + e.what());
        }
        if (!job) {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, std::chrono::seconds(1));
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
        store_.ReturnJob(job.id);
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
    const BoardGame game{0,     chosen->score, chosen->level,   chosen->frame, chosen->name,
                         Now(), chosen->rules, chosen->verifier};
    store_.StoreGame(job.id, game, chosen->identity);
    CountOutcome(Outcome::Stored);
}

void Verifiers::Refuse(const Job& job, const std::string& why) {
    store_.RefuseJob(job.id, why);
    CountOutcome(Outcome::Refused);
}
