// What one game keeps in the engine from frame to frame: the generator's state, the pictures
// presented and the polls made, the input those polls left and the events scheduled for later
// polls. A game's World holds its own; the engine works on the one bound last, so two games can
// take turns in one process, each as it would run alone.
#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <utility>

#include "engine/graphics.h"
#include "engine/input.h"
#include "engine/input_events.h"

struct InputState {
    std::array<int, kKeyCount> keyDown{};
    std::array<int, kKeyCount> keyHits{};
    std::array<int, kMouseButtons> mouseDown{};
    std::array<int, kMouseButtons> mouseHits{};
    // The pointer is virtual: relative motion moves it, MoveMouse sets it.
    int pointerX = kScreenW / 2;
    int pointerY = kScreenH / 2;
    int mouseZ = 0;
    bool terminate = false;
    bool quitThrown = false;
};

struct EngineSession {
    int32_t rnd = 0x1234;
    uint64_t presented = 0;
    uint64_t polls = 0;
    InputState input;
    std::deque<std::pair<uint64_t, InputEvent>> scheduled;
};

// Until a game binds its own, the engine has one of its own.
void UseSession(EngineSession& session);
extern EngineSession* boundSession;
inline EngineSession& Session() { return *boundSession; }
