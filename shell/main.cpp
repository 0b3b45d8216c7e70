// koravel: the game in a real window. Started without arguments it plays; --replay watches a
// recorded game.
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "engine/files.h"
#include "engine/graphics.h"
#include "engine/input.h"
#include "engine/sound.h"
#include "record/replay.h"
#include "record/script.h"
#include "record/trace.h"
#include "screens/hiscore.h"
#include "shell/board_client.h"
#include "shell/datadir.h"
#include "shell/mainloop.h"
#include "shell/startup.h"

namespace {

const char* const kUsage =
    "usage: koravel [--replay FILE.kvr] [--board http://HOST:PORT] [--help] [--version]\n";

void OnSignal(int) { RequestQuitFromSignal(); }

std::FILE* trace = nullptr;      // KORAVEL_TRACE=FILE, for tests
uint64_t replayEnd = UINT64_MAX; // the frame a watched recording ends on

// After every picture: the trace line, and the end of a watched recording.
void AfterPresent() {
    if (trace) {
        const std::string line =
            TraceLine(PresentedFrames() - 1, MilliSecs(), false, TakeStartedSounds());
        std::fprintf(trace, "%s\n", line.c_str());
        std::fflush(trace);
    }
    if (PresentedFrames() >= replayEnd) RequestQuitFromSignal();
}

// KORAVEL_TRACE=FILE: one line a presented frame, as koravel-sim writes them.
void TraceIfAsked() {
    const char* path = std::getenv("KORAVEL_TRACE");
    if (!path || !(trace = std::fopen(path, "w"))) return;
    TrackStartedSounds(true);
}

// Watching a recorded game: its events instead of the mouse, until its end or Escape.
bool StartReplay(const std::string& file) {
    auto bytes = ReadWholeFile(file, kMaxInputBytes, FileKinds::PipesToo);
    Recording recording;
    std::string error = bytes ? "" : ReadFailure(kMaxInputBytes);
    if (!bytes || !ParseRecording(std::string(bytes->begin(), bytes->end()), recording, error)) {
        std::fprintf(stderr, "koravel: %s: %s\n", file.c_str(), error.c_str());
        return false;
    }
    run.seed_override = recording.seed;
    if (!recording.table.empty()) run.table_override = recording.table;
    for (const ScriptEvent& e : recording.events) ScheduleInput(*e.poll, e.event);
    ReplayOnly(true);
    hiscores.scores_frozen = true;
    replayEnd = uint64_t(recording.endFrame);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string replay;
    const char* boardFromEnvironment = std::getenv("KORAVEL_BOARD");
    std::string board = boardFromEnvironment ? boardFromEnvironment : "";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::printf("%sPlays Koravel. With --replay, shows a recorded game (.kvr) instead.\n"
                        "Games are recorded to koravel/replays/ in your data folder.\n"
                        "With --board (or KORAVEL_BOARD=URL), every finished game is sent to that\n"
                        "koravel-board in the background.\n"
                        "KORAVEL_SEED=N plays the game of that seed; KORAVEL_TRACE=FILE writes\n"
                        "one line per frame, as koravel-sim --trace does.\n",
                        kUsage);
            return 0;
        }
        if (arg == "--version") {
            std::printf("koravel %s\n", KORAVEL_VERSION);
            return 0;
        }
        if (arg == "--replay" && i + 1 < argc) {
            replay = std::filesystem::absolute(argv[++i]).string();
            continue;
        }
        if (arg == "--board" && i + 1 < argc) {
            board = argv[++i];
            continue;
        }
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    if (!replay.empty() && !StartReplay(replay)) return 2;
    // KORAVEL_SEED=N plays a chosen game (tests need one where nothing surprises them).
    if (const char* seed = std::getenv("KORAVEL_SEED"); seed && replay.empty()) {
        int64_t value = 0;
        if (!ParseWholeNumber(seed, INT64_MIN, INT64_MAX, value)) {
            std::fprintf(stderr, "koravel: KORAVEL_SEED must be a whole number, not '%s'\n", seed);
            return 2;
        }
        run.seed_override = value;
    }
    EnterDataFolder(); // wherever it is started from
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    TraceIfAsked();
    OnPresented(AfterPresent);
    if (!replay.empty()) return RunGame();
    keep_game_recordings = true;
    std::string error;
    if (!board.empty() && !SubmitGamesTo(board, error)) {
        std::fprintf(stderr, "koravel: %s\n", error.c_str());
        return 2;
    }
    const int status = RunGame([] { StartRecording(run.run_seed); });
    FinishSubmissions();
    return status;
}
