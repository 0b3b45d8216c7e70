// Input scripts and recorded games, in one text format: "F EVENT ..." lines, where F is the
// presented frame the event comes before. A recording adds "@P", the poll that delivered it,
// starts with a header line giving its version, seed and rules, holds "F check SUM" lines (the
// game's state after F frames), and ends with "F end".
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/input.h"
#include "format/score_entry.h"

struct ScriptEvent {
    int64_t frame = 0;
    InputEvent event;
    std::optional<uint64_t> poll; // recorded games: the exact poll
};

// The game's state after this many presented frames, as StateChecksum() sums it.
struct Checkpoint {
    int64_t frame = 0;
    uint64_t sum = 0;
};

// Where a run's input came from, beyond its seed: the board's attempt it was played under
// ("# koravel attempt TOKEN"), what drove it when no person did ("# koravel machine ..."), and
// the devices a person steered with.
// Neither changes how the game plays; a board ranks only a person's game under its own attempt.
struct RecordingOrigin {
    std::string attempt; // 32 lower-case hex digits, or empty
    std::string machine; // printable ASCII, at most kMaxMachineText bytes, or empty
    // What steered ("# koravel devices mouse keyboard"): some of mouse, touch, keyboard and
    // gamepad, each once, in that order; or empty.
    std::string devices;
};
constexpr size_t kAttemptDigits = 32;
constexpr size_t kMaxMachineText = 200;
bool IsAttemptToken(const std::string& text);

struct Recording {
    int64_t seed = 0;
    int64_t version = 0; // of the file's format
    int64_t rules = 1;   // the rules the game was played by; version 1 files predate the number
    std::vector<ScoreEntry> table; // the score table the run started with, when recorded
    int64_t endFrame = 0;          // the run ends after this many presented frames
    std::vector<ScriptEvent> events;
    std::vector<Checkpoint> checks; // by rising frame; none in version 1 files
    RecordingOrigin origin;
};

// Version 2 added the rules and the checkpoints; version 1 files still play.
constexpr int kRecordingVersion = 2;
// The rules this build plays by. Any change to what the game reads (one more input query moves
// every later recorded event) or decides bumps it: a recording of other rules is refused rather
// than replayed into another game. The golden replays hold it to that (tests/replays/).
constexpr int kRulesVersion = 1;
// A checkpoint every this many frames: about 28 bytes each 7.5 s, under a tenth of a game's
// recording even when the mouse rests.
constexpr int64_t kCheckpointFrames = 250;
// Scripts and recordings larger than this are refused: parsing takes up to about four times a
// file's size in memory (a file of the shortest lines), and hours of play come to a few megabytes.
constexpr size_t kMaxInputBytes = 32u * 1024 * 1024;
// A recording plays at most six hours (30 ms frames), and at most twenty minutes after its
// last event: an end line far beyond is forged.
constexpr int64_t kMaxRecordingFrames = 720000;
constexpr int64_t kMaxIdleFrames = 40000;

// A whole decimal number within [low, high], the whole word and nothing else.
bool ParseWholeNumber(const std::string& word, int64_t low, int64_t high, int64_t& out);
// Parses one event ("move 10 20", "press left", ...). On failure returns false with a reason.
bool ParseEvent(const std::string& text, InputEvent& out, std::string& error);
// The event in the same words.
std::string FormatEvent(const InputEvent& event);
// Parses a whole script; blank lines and "#" comments are skipped. Events keep their order
// within a frame and are sorted by frame. On failure, error names the line.
bool ParseScript(std::string_view text, std::vector<ScriptEvent>& out, std::string& error);
// Parses a recorded game: the header, events with their polls in order, and the end line.
bool ParseRecording(std::string_view text, Recording& out, std::string& error);
// The header: version, seed and rules, the origin's lines, then the score table (names in hex),
// one entry a line.
std::string RecordingHeader(int64_t seed, const std::vector<ScoreEntry>& table,
                            const RecordingOrigin& origin = {});
// A checkpoint's line.
std::string CheckpointLine(int64_t frame, uint64_t sum);
