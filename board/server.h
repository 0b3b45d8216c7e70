// koravel-board's service: uploads kept as jobs and answered at once, verdicts from the
// verifiers, the best games as JSON and as a page, recordings to watch, the browser build.
#pragma once
#include <cstdint>
#include <string>

#include "board/front.h"
#include "board/store.h"
#include "board/verifiers.h"

struct BoardSettings {
    FrontSettings front;
    VerifierSettings verifiers;
    std::string web;      // a browser build's page/ folder served at /play, or empty
    int queue = 16;       // uploads waiting for a verifier; more are answered 429
    std::string dbFolder; // watched for room to keep uploads
};

// Serves until StopBoard(); prints the address it listens on. False when it cannot start.
bool RunBoard(const BoardSettings& settings, Store& store);
// A verifier worker: no front, only verifiers taking jobs from a shared store, until StopBoard().
// `where` names the store in its first line.
bool RunWorker(const VerifierSettings& settings, Store& store, const std::string& where);
void StopBoard();
