// The board's verifiers: threads that take uploads from the store's queue one at a time, replay
// each in a limited koravel-sim process, and write the verdict back. Nothing of an upload is
// parsed in the board itself.
#pragma once
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "board/daily.h"
#include "board/store.h"
#include "board/verifier.h"

struct VerifierSettings {
    std::string sim;        // the koravel-sim that replays
    std::string workFolder; // PrepareWorkFolder's
    int count = 2;
    uint64_t maxFrames = 360000; // three hours of play: games ending later are not looked at
    VerifierLimits limits;
};

class Verifiers {
  public:
    // `fields` names the days' seeds, for the games played on one without an attempt.
    Verifiers(const VerifierSettings& settings, Store& store, const DailyFields& fields);
    ~Verifiers() { Stop(); }
    // The verifiers of every host sharing the store (this one's included), as last heard, and
    // those hosts.
    int Count() const { return seen_; }
    int Hosts() const { return hosts_; }
    // A new upload is waiting.
    void Wake();
    // Ends every replay in progress (its upload goes back to the queue) and every thread.
    void Stop();

  private:
    void Work();
    void Beat();
    void Judge(const Job& job);
    void Refuse(const Job& job, const std::string& why);
    void Overtaken(const Job& job);
    // A job's lease: its replay's wall-clock limit and time to start it and keep its verdict.
    static constexpr int kLeaseMargin = 15;

    const VerifierSettings& s_;
    Store& store_;
    const DailyFields& fields_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> seen_{0}, hosts_{0};
    std::string host_; // how this process is known among the verifier hosts
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::thread> threads_;
    std::thread beating_;
};
