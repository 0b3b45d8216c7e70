// koravel-sim's input scripts: "F EVENT ..." lines, and the same events without F in lockstep.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/headless/headless.h"

struct ScriptEvent {
    int64_t frame = 0;
    HeadlessEvent event;
};

// Parses one event ("move 10 20", "press left", ...). On failure returns false with a reason.
bool ParseEvent(const std::string& text, HeadlessEvent& out, std::string& error);
// Parses a whole script; blank lines and "#" comments are skipped. Events keep their order
// within a frame and are sorted by frame. On failure, error names the line.
bool ParseScript(const std::string& text, std::vector<ScriptEvent>& out, std::string& error);
