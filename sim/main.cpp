// koravel-sim: the game on a headless backend with a virtual clock, driven by scripted input.
// The same seed and input always give the same trace and the same picture hash.
#include <getopt.h>
#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "engine/files.h"
#include "engine/graphics.h"
#include "engine/headless/headless.h"
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
#include "sim/audio_out.h"
#include "sim/bot.h"
#include "sim/flashes.h"
#include "sim/identity.h"
#include "sim/inflate.h"
#include "sim/png.h"
#include "state/game.h"
#include "state/point.h"
#include "state/world.h"

namespace {

const char* const kUsage =
    "usage: koravel-sim [--dir DIR] [--seed N] [--frames N] [--input FILE] [--lockstep]\n"
    "                   [--trace FILE] [--entities] [--shot N:FILE]... [--audio FILE.wav]\n"
    "                   [--bot NAME] [--replay FILE.kvr] [--record FILE.kvr] [--no-picture]\n"
    "                   [--games FILE] [--board URL] [--daily] [--calm] [--any-rules]\n"
    "                   [--help | -h] [--version]\n";

const char* const kHelp =
    "Runs Koravel without a window, on a virtual clock.\n"
    "  --dir DIR       folder holding gfx/, sound/ and scores/; its score table is saved\n"
    "                  as the game saves it, never while replaying (default: the current\n"
    "                  folder, else the game's own; without --dir nothing is saved)\n"
    "  --seed N        seed for the random generator (default: the virtual clock, 0)\n"
    "  --frames N      stop after N presented frames\n"
    "  --input FILE    input script: 'F EVENT' per line, applied just before frame F\n"
    "                  events: move X Y, moveby DX DY, press|release left|esc|pause,\n"
    "                  press|release key N, quit\n"
    "  --lockstep      after each frame print its trace line, then read events from stdin\n"
    "                  until 'step' or 'step N'; the end of stdin ends the run\n"
    "  --trace FILE    one JSON object per presented frame\n"
    "  --entities      add entity positions to each trace line\n"
    "  --shot N:FILE   write the picture of frame N as a PNG (repeatable)\n"
    "  --audio FILE    mix everything played, on the virtual clock, into a 44100 Hz stereo wave\n"
    "  --bot NAME      drive the input itself: idle, random (seeded), player (an autopilot),\n"
    "                  player:N (starting at level N), bondrunner:N (as player:N, then\n"
    "                  crossing the first live bond from the next level on) or hunter:N\n"
    "                  (an autopilot for high levels, looping one nucleus at a time)\n"
    "  --replay FILE   play a recorded game (.kvr, or gzip of one) back exactly, with its\n"
    "                  seed, to its end; a game that departs from the recording's checkpoints\n"
    "                  ends the run with status 3, one of other rules is refused\n"
    "  --any-rules     replay a recording of other rules all the same, checking nothing\n"
    "                  (with --record, to re-record a golden replay after a rules change)\n"
    "  --record FILE   record this run's input as a .kvr that --replay plays back\n"
    "  --board URL     send every game over to that koravel-board (http://HOST:PORT), as\n"
    "                  the game does with --board\n"
    "  --daily         with --board, play the board's field of the day under an attempt it\n"
    "                  issues (the recording says a machine played it: never ranked)\n"
    "  --games FILE    one JSON object per game played to its game over: score, level,\n"
    "                  the frame it ended on, the initials entered for it, the seed, the\n"
    "                  attempt and machine the recording names, whether it was the run's\n"
    "                  first, its pauses and the frames they lasted, and (replaying) its\n"
    "                  identity: the same game sent in other words has the same one\n"
    "  --calm          draw the calm screen: nothing flashes (the reticle, the trail, ...)\n"
    "  --flashes       count what flashes in the pictures: at the end, the most whole-screen\n"
    "                  flashes in a second and the changes of the reticle's colour\n"
    "  --no-picture    draw nothing and hash nothing (hash=none): the same frames, scores,\n"
    "                  sounds and trace, several times faster, for checking recordings\n"
    "Its recordings name the machine that played them (# koravel machine koravel-sim ...).\n"
    "koravel-sim writes only the files its options name: never the player's own table or\n"
    "recordings. Scripts and recordings may hold at most 32 MiB.\n"
    "At the end prints: frames=N ms=T score=S level=L men=M hash=H\n";

struct Options {
    std::string dir;
    std::optional<int64_t> seed;
    std::optional<uint64_t> frames;
    std::string input;
    bool lockstep = false;
    std::string trace;
    bool entities = false;
    std::vector<std::pair<uint64_t, std::string>> shots;
    std::string audio;
    std::string bot;
    std::string replay;
    std::string record;
    bool noPicture = false;
    bool anyRules = false;
    std::string games;
    std::string board;
    bool daily = false;
    bool calm = false;
    bool flashes = false;
};

// Ends the run from inside the game's loop, with the process exit status.
struct SimStop {
    int status;
};

constexpr int64_t kStallBatchMicros = 2000000; // longer than any pause of the game's own
constexpr int64_t kStallLimitMicros = 60000000;
constexpr uint64_t kMaxLockstepSteps = uint64_t(1) << 40;

// The trace and the games' list: kept up to a failure, which they help to explain.
Stream traceOut, gamesOut;
// The recording being replayed, which names each game it holds.
std::optional<Recording> replayed;
// The pauses of the game on, and the frames they lasted, for its line in --games.
int pausesThisGame = 0;
uint64_t pausedFramesThisGame = 0;

// Renames the logs into place; false, having said which in one line, when one could not be
// written whole (the old file is then kept).
bool CommitLogs() {
    bool ok = true;
    for (Stream* log : {&traceOut, &gamesOut}) {
        if (*log && !CloseFile(*log)) {
            std::fprintf(stderr, "koravel-sim: could not write %s: %s\n", (*log)->path.c_str(),
                         std::strerror(errno ? errno : EIO));
            ok = false;
        }
        *log = nullptr;
    }
    return ok;
}

[[noreturn]] void Fail(const std::string& message, int status = 2) {
    std::fprintf(stderr, "koravel-sim: %s\n", message.c_str());
    CommitLogs();
    std::exit(status);
}

// Digits only: no sign, no blanks, nothing after them.
bool ParseCount(const std::string& text, uint64_t& out) {
    if (text.empty() || text.size() > 20 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (errno) return false;
    out = v;
    return true;
}

// Appends to a log; a failed write ends the run with status 1, the old file kept.
void Log(Stream& log, const std::string& line) {
    if (WriteBytes(log, line + "\n")) return;
    const Stream failed = std::exchange(log, nullptr); // its temporary file goes at exit
    Fail("could not write " + failed->path + ": " +
             std::strerror(failed->error ? failed->error : EIO),
         1);
}

Options ParseOptions(int argc, char** argv) {
    enum {
        Dir = 1,
        Seed,
        Frames,
        Input,
        Lockstep,
        Trace,
        Entities,
        Shot,
        Audio,
        BotName,
        Replay,
        Record,
        NoPicture,
        AnyRules,
        Games,
        Board,
        Daily,
        Calm,
        Flashes,
        Help = 'h',
        Version
    };
    static const option longOptions[] = {{"dir", required_argument, nullptr, Dir},
                                         {"seed", required_argument, nullptr, Seed},
                                         {"frames", required_argument, nullptr, Frames},
                                         {"input", required_argument, nullptr, Input},
                                         {"lockstep", no_argument, nullptr, Lockstep},
                                         {"trace", required_argument, nullptr, Trace},
                                         {"entities", no_argument, nullptr, Entities},
                                         {"shot", required_argument, nullptr, Shot},
                                         {"audio", required_argument, nullptr, Audio},
                                         {"bot", required_argument, nullptr, BotName},
                                         {"replay", required_argument, nullptr, Replay},
                                         {"record", required_argument, nullptr, Record},
                                         {"no-picture", no_argument, nullptr, NoPicture},
                                         {"any-rules", no_argument, nullptr, AnyRules},
                                         {"games", required_argument, nullptr, Games},
                                         {"board", required_argument, nullptr, Board},
                                         {"daily", no_argument, nullptr, Daily},
                                         {"calm", no_argument, nullptr, Calm},
                                         {"flashes", no_argument, nullptr, Flashes},
                                         {"help", no_argument, nullptr, Help},
                                         {"version", no_argument, nullptr, Version},
                                         {nullptr, 0, nullptr, 0}};
    // What each option's value is, for the line that says it is missing.
    auto needs = [](int val) -> std::string {
        for (const option* o = longOptions; o->name; ++o)
            if (o->val == val) {
                const char* what = val == Dir                       ? "a folder"
                                   : val == Seed                    ? "a whole number"
                                   : val == Frames                  ? "a count"
                                   : val == Shot                    ? "N:FILE"
                                   : val == BotName                 ? "a bot's name"
                                   : val == Board                   ? "a board (http://HOST:PORT)"
                                   : val == Replay || val == Record ? "a recording (FILE.kvr)"
                                                                    : "a file";
                return std::string("--") + o->name + " needs " + what;
            }
        return "an option needs a value";
    };
    Options o;
    opterr = 0;
    for (int c; (c = getopt_long(argc, argv, ":h", longOptions, nullptr)) != -1;) {
        uint64_t n = 0;
        if (c == ':') Fail(needs(optopt) + "; koravel-sim --help for more");
        if (c != '?' && optarg && !*optarg) Fail(needs(c) + ", not ''");
        switch (c) {
        case Dir:
            o.dir = optarg;
            break;
        case Seed: {
            int64_t v = 0;
            if (!ParseWholeNumber(optarg, INT64_MIN, INT64_MAX, v))
                Fail(std::string("--seed needs a whole number, not '") + optarg + "'");
            o.seed = v;
            break;
        }
        case Frames:
            if (!ParseCount(optarg, n))
                Fail(std::string("--frames needs a count, not '") + optarg + "'");
            o.frames = n;
            break;
        case Input:
            o.input = optarg;
            break;
        case Lockstep:
            o.lockstep = true;
            break;
        case Trace:
            o.trace = std::filesystem::absolute(optarg).string(); // --dir changes the folder
            break;
        case Entities:
            o.entities = true;
            break;
        case Shot: {
            const std::string arg = optarg;
            const auto colon = arg.find(':');
            if (colon == std::string::npos || colon + 1 == arg.size() ||
                !ParseCount(arg.substr(0, colon), n))
                Fail("--shot needs N:FILE, not '" + arg + "'");
            o.shots.emplace_back(n, std::filesystem::absolute(arg.substr(colon + 1)).string());
            break;
        }
        case Replay:
            o.replay = optarg;
            break;
        case Record:
            o.record = std::filesystem::absolute(optarg).string();
            break;
        case Board:
            o.board = optarg;
            break;
        case Games:
            o.games = std::filesystem::absolute(optarg).string();
            break;
        case NoPicture:
            o.noPicture = true;
            break;
        case Daily:
            o.daily = true;
            break;
        case Calm:
            o.calm = true;
            break;
        case Flashes:
            o.flashes = true;
            break;
        case AnyRules:
            o.anyRules = true;
            break;
        case Audio:
            o.audio = std::filesystem::absolute(optarg).string();
            break;
        case BotName:
            o.bot = optarg;
            if (!MakeBot(o.bot, 0))
                Fail("--bot takes idle, random, player[:N], bondrunner:N or hunter:N, N an odd "
                     "level from 1 to 999 (the levels the choice offers), not '" +
                     o.bot + "'");
            break;
        case Help:
            std::fputs(kUsage, stdout), std::fputs(kHelp, stdout), std::exit(0);
        case Version:
            std::printf("koravel-sim %s (rules %d)\n", KORAVEL_VERSION, kRulesVersion),
                std::exit(0);
        default:
            Fail(std::string("unknown option '") + argv[optind - 1] +
                 "'; koravel-sim --help for more");
        }
    }
    if (optind < argc)
        Fail(std::string("unexpected argument '") + argv[optind] +
             "'; koravel-sim --help for more");
    return o;
}

// One line of lockstep input; false at its end. Lines are short: a longer one is refused
// before it can take memory.
bool ReadStdinLine(std::string& line) {
    constexpr size_t kMaxLockstepLine = 4096;
    line.clear();
    int c = 0;
    while ((c = std::getchar()) != EOF && c != '\n') {
        if (line.size() == kMaxLockstepLine)
            Fail("lockstep: a line is longer than " + std::to_string(kMaxLockstepLine) + " bytes");
        line.push_back(char(c));
    }
    return c != EOF || !line.empty();
}

class Driver {
  public:
    explicit Driver(Options o) : opt_(std::move(o)), hash_(XXH3_createState()) {
        XXH3_64bits_reset(hash_);
        if (!opt_.bot.empty()) bot_ = MakeBot(opt_.bot, uint64_t(opt_.seed.value_or(0)));
        if (!opt_.audio.empty() && !audio_.Open(opt_.audio))
            Fail("cannot write the audio " + opt_.audio + ": " + std::strerror(errno));
        if (!opt_.trace.empty() && !(traceOut = WriteOutput(opt_.trace)))
            Fail("cannot write the trace " + opt_.trace + ": " + ReadFailure(0));
    }
    ~Driver() { XXH3_freeState(hash_); }

    // A recorded game: its seed, its events at their polls, and its end. Returns the seed.
    std::optional<int64_t> LoadReplay() {
        if (opt_.replay.empty()) return std::nullopt;
        auto bytes = ReadWholeFile(opt_.replay, kMaxInputBytes, FileKinds::PipesToo);
        if (!bytes)
            Fail("cannot read the recording " + opt_.replay + ": " + ReadFailure(kMaxInputBytes));
        if (LooksGzipped(*bytes) && !(bytes = Gunzip(*bytes, kMaxInputBytes)))
            Fail(opt_.replay + ": the gzip data is broken or inflates beyond " +
                 std::to_string(kMaxInputBytes >> 20) + " MiB");
        Recording& recording = replayed.emplace();
        std::string error;
        if (!ParseRecording(AsText(*bytes), recording, error) ||
            !PlayRecording(recording, opt_.anyRules, error, [this](int64_t frame) {
                Fail(opt_.replay + ": " + DepartureMessage(frame), 3);
            }))
            Fail(opt_.replay + ": " + error);
        if (!opt_.frames || *opt_.frames > uint64_t(recording.endFrame))
            opt_.frames = uint64_t(recording.endFrame);
        return recording.seed;
    }

    // A picture the run will never reach is refused before it starts, not silently missing.
    void CheckShots() const {
        for (const auto& [n, file] : opt_.shots)
            if (opt_.frames && n >= *opt_.frames)
                Fail("--shot " + std::to_string(n) + " is never reached: the run presents " +
                     std::to_string(*opt_.frames) + " frames, numbered from 0");
    }

    void LoadScript() {
        if (opt_.input.empty()) return;
        auto bytes = ReadWholeFile(opt_.input, kMaxInputBytes, FileKinds::PipesToo);
        if (!bytes)
            Fail("cannot read the input script " + opt_.input + ": " + ReadFailure(kMaxInputBytes));
        std::string error;
        if (!ParseScript(AsText(*bytes), script_, error)) Fail(opt_.input + ": " + error);
        bytes.reset();
        // Events stamped with their poll go exactly there; the rest before their frame.
        size_t kept = 0;
        for (const ScriptEvent& e : script_) {
            if (e.poll)
                ScheduleInput(*e.poll, e.event);
            else
                script_[kept++] = e;
        }
        script_.resize(kept);
    }

    // Writes the run's input as a recording; false when it could not be written.
    bool FinishRecording() const {
        if (opt_.record.empty()) return true;
        const Stream out = WriteOutput(opt_.record);
        return out && WriteBytes(out, RecordingText(presented_)) && CloseFile(out);
    }

    void Install() {
        TrackStartedSounds(true);
        HeadlessOnPresent([this](const uint32_t* pixels) { OnPresent(pixels); });
        HeadlessOnSleep([this](int64_t now) { OnSleep(now); });
        QueueThrough(0);
    }

    // Mixes what is still due and closes the wave file; false when it could not be written.
    bool FinishAudio() {
        audio_.Advance(MicroSecs());
        return audio_.Close();
    }

    void PrintSummary() const {
        World& world = CurrentWorld();
        char hash[17] = "none";
        if (!opt_.noPicture)
            std::snprintf(hash, sizeof hash, "%016" PRIx64, uint64_t(XXH3_64bits_digest(hash_)));
        std::printf("frames=%" PRIu64 " ms=%" PRId64 " score=%d level=%d men=%d hash=%s\n",
                    presented_, MilliSecs(), world.game.score, world.game.level, world.game.men,
                    hash);
        if (opt_.flashes)
            std::printf("flashes: most-in-a-second=%d reticle-changes=%d\n",
                        flashes_.MostInASecond(), flashes_.ReticleChanges());
    }

  private:
    void QueueThrough(int64_t frame) {
        while (next_ < script_.size() && script_[next_].frame <= frame)
            HeadlessQueue(script_[next_++].event);
        queuedThrough_ = std::max(queuedThrough_, frame);
    }

    void OnPresent(const uint32_t* pixels) {
        World& world = CurrentWorld();
        const uint64_t frame = presented_++;
        const bool paused = world.game.current_screen == std::string("paused");
        pausesThisGame += paused && !wasPaused_;
        pausedFramesThisGame += paused;
        wasPaused_ = paused;
        if (!opt_.noPicture) XXH3_64bits_update(hash_, pixels, size_t(kScreenW) * kScreenH * 4);
        if (opt_.flashes) {
            const bool reticle = world.game.current_screen != std::string("paused") &&
                                 world.game.current_screen != std::string("scores");
            flashes_.See(pixels, kScreenW, kScreenH, reticle ? world.point.x : -1, world.point.y,
                         world.point.pw);
        }
        const std::string line =
            traceOut || opt_.lockstep
                ? TraceLine(frame, MilliSecs(), opt_.entities, TakeStartedSounds())
                : (TakeStartedSounds(), std::string());
        if (traceOut) Log(traceOut, line);
        for (const auto& [n, file] : opt_.shots)
            if (n == frame && !WritePng(file, pixels, kScreenW, kScreenH, kScreenW))
                Fail("could not write " + file + ": " + std::strerror(errno ? errno : EIO), 1);
        lastPresent_ = MicroSecs();
        stallBatches_ = 0;
        if (opt_.frames && presented_ >= *opt_.frames) throw SimStop{0};
        if (opt_.lockstep) {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
            if (stepsLeft_ > 0)
                --stepsLeft_;
            else
                ReadLockstep();
        }
        QueueThrough(int64_t(presented_));
        if (bot_) bot_->AfterFrame(frame);
    }

    // A game that keeps waiting without presenting (Escape held across the attract cycle)
    // still gets the scripted input of the frames ahead, and a hung run ends with an error.
    void OnSleep(int64_t now) {
        audio_.Advance(now);
        const int64_t stalled = now - lastPresent_;
        if (stalled > kStallLimitMicros) {
            std::fprintf(stderr,
                         "koravel-sim: no frame presented for 60 s of virtual time; stopping\n");
            throw SimStop{1};
        }
        if (stalled >= (stallBatches_ + 1) * kStallBatchMicros) {
            ++stallBatches_;
            QueueThrough(queuedThrough_ + 1);
            if (bot_) bot_->AfterFrame(presented_); // a bot gets its turn too: it may let go
        }
    }

    void ReadLockstep() {
        for (std::string line; ReadStdinLine(line);) {
            line = line.substr(0, line.find('#'));
            if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
            uint64_t n = 1;
            if (line.rfind("step", 0) == 0) {
                const auto first = line.find_first_not_of(" \t\r", 4);
                const auto last = line.find_last_not_of(" \t\r");
                const std::string count =
                    first == std::string::npos ? "" : line.substr(first, last - first + 1);
                if (!count.empty() && (!ParseCount(count, n) || n == 0 || n > kMaxLockstepSteps))
                    Fail("lockstep: 'step' takes a count from 1 to " +
                         std::to_string(kMaxLockstepSteps) + ", not '" + count + "'");
                stepsLeft_ = n - 1;
                return;
            }
            HeadlessEvent e;
            std::string error;
            if (!ParseEvent(line, e, error)) Fail("lockstep: " + error);
            HeadlessQueue(e);
        }
        throw SimStop{0}; // the end of stdin ends the run
    }

    Options opt_;
    XXH3_state_t* hash_;
    std::vector<ScriptEvent> script_;
    size_t next_ = 0;
    int64_t queuedThrough_ = -1;
    uint64_t presented_ = 0;
    int64_t lastPresent_ = 0;
    int64_t stallBatches_ = 0;
    uint64_t stepsLeft_ = 0;
    AudioOut audio_;
    FlashCount flashes_;
    bool wasPaused_ = false;
    std::unique_ptr<Bot> bot_;
};

} // namespace

// What the run's recordings say of who played: the recording's own origin when replaying one
// (re-recording keeps it), else this machine, with the board's attempt under --daily.
RecordingOrigin RunOrigin(const Options& opt) {
    if (replayed) return replayed->origin;
    RecordingOrigin origin;
    origin.machine = "koravel-sim" + (!opt.bot.empty()     ? " --bot " + opt.bot
                                      : opt.lockstep       ? std::string(" --lockstep")
                                      : !opt.input.empty() ? std::string(" --input")
                                                           : std::string());
    if (!opt.daily) return origin;
    DailyAttempt attempt;
    std::string error;
    if (!FetchDailyAttempt(opt.board, attempt, error)) Fail(error, 1);
    run.seed_override = attempt.seed;
    origin.attempt = attempt.token;
    return origin;
}

int main(int argc, char** argv) {
    const Options opt = ParseOptions(argc, argv);
    if (opt.daily && (opt.board.empty() || opt.seed || !opt.replay.empty()))
        Fail("--daily plays the field of the board --board names, without --seed or --replay");
    if (!opt.replay.empty() && (!opt.input.empty() || !opt.bot.empty() || opt.lockstep))
        Fail("--replay plays a recording alone, without --input, --bot or --lockstep");
    if (opt.noPicture && !opt.shots.empty()) Fail("--no-picture has no pictures for --shot");
    SkipDrawing(opt.noPicture);
    if (!opt.games.empty() && !(gamesOut = WriteOutput(opt.games)))
        Fail("cannot write " + opt.games + ": " + ReadFailure(0), 1);
    static RecordingOrigin origin;
    if (gamesOut)
        OnGameOver([](const FinishedGame& g) {
            static int played = 0;
            const std::string name = JsonEscaped(g.name);
            const std::string identity = replayed ? GameIdentity(*replayed, g.endPoll) : "";
            const std::string machine = JsonEscaped(origin.machine);
            std::vector<char> line(name.size() + identity.size() + machine.size() + 300);
            std::snprintf(line.data(), line.size(),
                          "{\"score\":%d,\"level\":%d,\"frame\":%" PRIu64
                          ",\"name\":\"%s\",\"identity\":\"%s\",\"rules\":%d,"
                          "\"build\":\"koravel-sim " KORAVEL_VERSION "\",\"seed\":%" PRId64
                          ",\"attempt\":\"%s\",\"machine\":\"%s\",\"first\":%s,\"pauses\":%d,"
                          "\"pausedFrames\":%" PRIu64 "}",
                          g.score, g.level, g.frame, name.c_str(), identity.c_str(),
                          int(replayed ? replayed->rules : kRulesVersion), run.run_seed,
                          origin.attempt.c_str(), machine.c_str(), played++ == 0 ? "true" : "false",
                          pausesThisGame, pausedFramesThisGame);
            pausesThisGame = 0;
            pausedFramesThisGame = 0;
            Log(gamesOut, line.data());
        });
    Driver driver(opt);
    const auto replaySeed = driver.LoadReplay();
    driver.CheckShots();
    driver.LoadScript();
    if (!opt.dir.empty()) {
        std::error_code ec;
        std::filesystem::current_path(opt.dir, ec);
        if (ec) Fail("cannot enter " + opt.dir + ": " + ec.message());
    } else {
        EnterDataFolderOrSay("koravel-sim"); // the data beside the program, or installed
    }
    run.seed_override = replaySeed ? *replaySeed : opt.seed.value_or(0);
    origin = RunOrigin(opt);
    RecordOrigin(origin);
    // The controls start as the game's defaults, whatever the player keeps: the same run gives
    // the same pictures and sound anywhere; a script's M, minus and plus change them.
    TakeControls(Settings{}, "", opt.calm);
    // The sim keeps only the table of the folder --dir names, and never while replaying: the
    // player's own table and recordings are never touched.
    scorefiles.scores_beside_game_only = true;
    scorefiles.scores_frozen = opt.dir.empty() || !opt.replay.empty();
    driver.Install();
    std::string error;
    if (!opt.board.empty() && !SubmitGamesTo(opt.board, error)) Fail(error);
    int status = 0;
    try {
        // Recorded from the end of start-up, with the score table the run starts with.
        const bool record = !opt.record.empty() || !opt.board.empty();
        status = RunGame(record ? +[] { StartRecording(run.run_seed); } : nullptr);
    } catch (const SimStop& stop) { status = stop.status; }
    FinishSubmissions();
    if (!driver.FinishAudio()) {
        std::fprintf(stderr, "koravel-sim: could not write %s: %s\n", opt.audio.c_str(),
                     std::strerror(errno ? errno : EIO));
        status = 1;
    }
    if (!driver.FinishRecording()) {
        std::fprintf(stderr, "koravel-sim: could not write %s: %s\n", opt.record.c_str(),
                     std::strerror(errno ? errno : EIO));
        status = 1;
    }
    if (!CommitLogs()) status = 1;
    if (status == 0) driver.PrintSummary();
    return status;
}
