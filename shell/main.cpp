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
#include "format/recording.h"
#include "record/replay.h"
#include "record/trace.h"
#include "screens/hiscore.h"
#include "shell/board_client.h"
#include "shell/controls.h"
#include "shell/datadir.h"
#include "shell/mainloop.h"
#include "shell/startup.h"
#include "shell/watch.h"

namespace {

const char* const kUsage =
    "usage: koravel [--replay FILE.kvr] [--board http://HOST:PORT] [--daily] [--calm]\n"
    "               [--help | -h] [--version]\n";

void OnSignal(int) { RequestQuitFromSignal(); }

Stream trace;                    // KORAVEL_TRACE=FILE, for tests
bool traceEntities = false;      // KORAVEL_TRACE_ENTITIES=1: with every entity's place
uint64_t replayEnd = UINT64_MAX; // the frame a watched recording ends on
bool departed = false;           // the watched game left its recording's checkpoints

// After every picture: the trace line, and the end of a watched recording.
void AfterPresent() {
    if (trace) {
        const std::string line =
            TraceLine(PresentedFrames() - 1, MilliSecs(), traceEntities, TakeStartedSounds());
        // A trace that can no longer be written is said once and dropped; the game goes on.
        if (!WriteBytes(trace, line + "\n") || std::fflush(trace->file) != 0) {
            std::fprintf(stderr, "koravel: could not write the trace %s: %s\n", trace->path.c_str(),
                         std::strerror(errno ? errno : EIO));
            trace = nullptr;
        }
    }
    if (PresentedFrames() >= replayEnd) RequestQuitFromSignal();
}

// KORAVEL_TRACE=FILE: one line a presented frame, as koravel-sim writes them. Written as it
// goes (tests read it while the game runs); a pipe or a link there is refused, never waited on.
bool TraceIfAsked() {
    const char* path = std::getenv("KORAVEL_TRACE");
    if (!path) return true;
    if (!*path || !(trace = WriteFile(path))) {
        std::fprintf(stderr, "koravel: cannot write the trace '%s' that KORAVEL_TRACE names: %s\n",
                     path, *path ? ReadFailure(0).c_str() : "it is empty");
        return false;
    }
    TrackStartedSounds(true);
    const char* entities = std::getenv("KORAVEL_TRACE_ENTITIES");
    traceEntities = entities && std::string(entities) == "1";
    return true;
}

// Usage errors: one line naming what is wrong, status 2.
int UsageError(const std::string& what) {
    std::fprintf(stderr, "koravel: %s; koravel --help for more\n", what.c_str());
    return 2;
}

// Watching a recorded game: its events instead of the mouse, until its end or Escape.
bool StartReplay(const std::string& file) {
    auto bytes = ReadWholeFile(file, kMaxInputBytes, FileKinds::PipesToo);
    Recording recording;
    std::string error = bytes ? "" : ReadFailure(kMaxInputBytes);
    if (!bytes || !ParseRecording(AsText(*bytes), recording, error)) {
        std::fprintf(stderr, "koravel: %s: %s\n", file.c_str(), error.c_str());
        return false;
    }
    if (!PlayRecording(recording, false, error, [](int64_t frame) {
            std::fprintf(stderr, "koravel: %s\n", DepartureMessage(frame).c_str());
            departed = true;
            RequestQuitFromSignal();
        })) {
        std::fprintf(stderr, "koravel: %s: %s\n", file.c_str(), error.c_str());
        return false;
    }
    ReplayOnly(true);
    scorefiles.scores_frozen = true;
    replayEnd = uint64_t(recording.endFrame);
    return true;
}

} // namespace

// The attempt a ranked game is played under: fetched now with --daily, or handed over in
// KORAVEL_ATTEMPT by a page that fetched it. 0 when there is none, else a usage error's status.
int TakeAttempt(bool daily, const std::string& board) {
    const char* handed = std::getenv("KORAVEL_ATTEMPT");
    if (!daily && !handed) return 0;
    if (daily && handed)
        return UsageError("--daily fetches its own attempt; unset KORAVEL_ATTEMPT");
    if (handed) {
        if (!IsAttemptToken(handed)) return UsageError("KORAVEL_ATTEMPT is not an attempt's token");
        RecordOrigin({handed, "", ""});
        return 0;
    }
    if (board.empty())
        return UsageError("--daily needs a board: --board http://HOST:PORT or KORAVEL_BOARD=URL");
    if (std::getenv("KORAVEL_SEED"))
        return UsageError("--daily plays the board's field; KORAVEL_SEED cannot choose another");
    DailyAttempt attempt;
    std::string error;
    if (!IsBoardAddress(board, error)) return UsageError(error);
    if (!FetchDailyAttempt(board, attempt, error)) {
        std::fprintf(stderr, "koravel: %s\n", error.c_str());
        return 1;
    }
    run.seed_override = attempt.seed;
    RecordOrigin({attempt.token, "", ""});
    std::fprintf(stderr, "koravel: the field of %s: the first game is ranked on its table\n",
                 attempt.date.c_str());
    return 0;
}

int main(int argc, char** argv) {
    std::string replay;
    bool daily = false, calm = false;
    const char* boardFromEnvironment = std::getenv("KORAVEL_BOARD");
    std::string board = boardFromEnvironment ? boardFromEnvironment : "";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::printf(
                "%sPlays Koravel. With --replay, shows a recorded game (.kvr) instead.\n"
                "Games are recorded to koravel/replays/ in your data folder.\n"
                "With --board (or KORAVEL_BOARD=URL), every finished game is sent to that\n"
                "koravel-board in the background.\n"
                "With --daily, plays the board's field of the day under an attempt the\n"
                "board issues: the first game of the run is ranked on the day's table\n"
                "(KORAVEL_ATTEMPT=TOKEN with KORAVEL_SEED=N plays an attempt fetched\n"
                "before, as the page does).\n"
                "With --calm, nothing flashes (the reticle, the trail, the points): C\n"
                "turns the calm screen on and off for good.\n"
                "Keys: the arrows (or W, A, S, D) steer as the mouse does and Space is its\n"
                "button (a pad's stick, cross, A and Start too); P (or Pause) pauses and\n"
                "goes on, Escape leaves a game, M turns the sound off and on, minus and\n"
                "plus step the volume; Alt+Enter switches between full screen and a\n"
                "window. The volume, the sound and the calm screen are kept in\n"
                "$XDG_CONFIG_HOME/koravel/settings.\n"
                "KORAVEL_SEED=N plays the game of that seed; KORAVEL_TRACE=FILE writes\n"
                "one line per frame, as koravel-sim --trace does (with every entity's\n"
                "place, as --entities adds, when KORAVEL_TRACE_ENTITIES=1).\n",
                kUsage);
            return 0;
        }
        if (arg == "--version") {
            std::printf("koravel %s (rules %d)\n", KORAVEL_VERSION, kRulesVersion);
            return 0;
        }
        if (arg == "--daily" || arg == "--calm") {
            (arg == "--daily" ? daily : calm) = true;
            continue;
        }
        if (arg == "--replay" || arg == "--board") {
            if (i + 1 == argc || !*argv[i + 1])
                return UsageError(arg + (arg == "--replay" ? " needs a recording (FILE.kvr)"
                                                           : " needs a board (http://HOST:PORT)"));
            const std::string value = argv[++i];
            if (arg == "--replay")
                replay = std::filesystem::absolute(value).string();
            else
                board = value;
            continue;
        }
        return UsageError("unknown option '" + arg + "'");
    }
    if (!replay.empty() && daily) return UsageError("--replay watches a game; --daily plays one");
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
    EnterDataFolderOrSay("koravel"); // wherever it is started from
    // Every signal that would end the program ends it as Escape does, saving the table; a
    // board that hangs up mid-send is an error of that send, not the end of the game.
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM})
        std::signal(sig, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    if (!TraceIfAsked()) return 2;
    // The player's volume, sound and calm screen, kept between runs (a watched game keeps
    // nothing it changes).
    const std::string settings = UserConfigPath("settings");
    if (!settings.empty())
        TakeControls(LoadSettings(settings), replay.empty() ? settings : "", calm);
    else
        TakeControls(Settings{}, "", calm);
    OnPresented(AfterPresent);
    if (!replay.empty()) {
        const int status = RunGame();
        return departed ? 3 : status;
    }
    if (const int status = TakeAttempt(daily, board)) return status;
    keep_game_recordings = PrepareRecordingsFolder();
    std::string error;
    if (!board.empty() && !SubmitGamesTo(board, error)) {
        std::fprintf(stderr, "koravel: %s\n", error.c_str());
        return 2;
    }
    const int status = RunGame([] { StartRecording(run.run_seed); });
    FinishSubmissions();
    return status;
}
