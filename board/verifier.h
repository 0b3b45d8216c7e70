// Replays a recording in a separate koravel-sim process (no shell, no pictures) under CPU-time,
// memory and wall-clock limits, and reports the games it played to their game over.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct VerifiedGame {
    int score = 0;
    int level = 0;
    uint64_t frame = 0;
    std::string name;
    std::string identity; // the same game in other words has the same one
    int rules = 1;
    std::string verifier; // the replaying build's name and version
    int64_t seed = 0;
    std::string attempt, machine; // what the recording's header says of its origin
    bool first = true;            // the recording's first game
    int pauses = 0;               // how often it was paused
    uint64_t pausedFrames = 0;    // and for how long
};

struct VerifierLimits {
    int cpuSeconds = 30; // a 3-hour game replays in well under 2 s
#ifdef __SANITIZE_ADDRESS__
    int64_t memoryBytes = 0; // AddressSanitizer's shadow memory needs terabytes of address space
#else
    int64_t memoryBytes = 1LL << 30; // address space; 0: no limit
#endif
    int wallSeconds = 60;
};

struct Verdict {
    bool ok = false;
    std::string reason; // why not, in one line
    std::vector<VerifiedGame> games;
    bool retry = false; // the verifier could not run (no room, no process): try again later
    bool ours = false;  // a failure of the board's, not the recording's: worth a log line
};

// The board's own folder for verifications under TMPDIR, locked while the board runs. Folders
// of boards that are gone (killed) are removed first. Empty, with `error` set, when none can be
// made.
std::string PrepareWorkFolder(std::string& error);

// Replays at most `maxFrames` frames in a private folder under `workFolder`, removed afterwards.
// The replaying process dies with the board; `cancel` ends it sooner (a verdict to retry).
Verdict VerifyRecording(const std::string& simPath, const std::string& workFolder,
                        const std::string& recording, uint64_t maxFrames,
                        const VerifierLimits& limits, const std::atomic<bool>& cancel);
