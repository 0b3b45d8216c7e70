// Input scripts and recorded games, in one text format: "F EVENT ..." lines, where F is the
// presented frame the event comes before. A recording adds "@P", the poll that delivered it,
// starts with a header line giving its version and seed, and ends with "F end".
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/input.h"
#include "screens/hiscore.h"

struct ScriptEvent {
    int64_t frame = 0;
    InputEvent event;
    std::optional<uint64_t> poll; // recorded games: the exact poll
};

struct Recording {
    int64_t seed = 0;
    std::vector<ScoreEntry> table; // the score table the run started with, when recorded
    int64_t endFrame = 0;          // the run ends after this many presented frames
    std::vector<ScriptEvent> events;
};

constexpr int kRecordingVersion = 1;
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
// The header: version and seed, then the score table (names in hex), one entry a line.
std::string RecordingHeader(int64_t seed, const std::vector<ScoreEntry>& table);
