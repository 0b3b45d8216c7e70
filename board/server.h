// koravel-board's HTTP side: submissions verified by replay, the best games as JSON and as a
// page, recordings to watch.
#pragma once
#include <cstdint>
#include <string>

#include "board/store.h"
#include "board/verifier.h"

struct BoardSettings {
    std::string host = "127.0.0.1";
    int port = 8642;
    std::string sim; // the koravel-sim that verifies
    std::string web; // a browser build's page/ folder served at /play, or empty
    int verifiers = 2;
    int queue = 16; // submissions waiting for a verifier; more are answered 429
    size_t maxBody = 4 << 20;
    size_t maxInflated = 32 << 20;
    uint64_t maxFrames = 360000; // three hours of play
    VerifierLimits limits;
};

// Serves until Stop(); prints the address it listens on. False when it cannot listen.
bool RunBoard(const BoardSettings& settings, Store& store);
void StopBoard();
