// Replays a recording in a separate koravel-sim process (no shell, no pictures) under CPU-time,
// memory and wall-clock limits, and reports the games it played to their game over.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct VerifiedGame {
    int score = 0;
    int level = 0;
    uint64_t frame = 0;
    std::string name;
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
};

Verdict VerifyRecording(const std::string& simPath, const std::string& recording,
                        const VerifierLimits& limits);
