// The headless backend: no window, no sound device, a virtual clock that only Delay and the
// pacing of Flip advance. koravel-sim and the tests drive the game through it.
#pragma once
#include <cstdint>
#include <functional>

#include "engine/input.h"

using HeadlessEvent = InputEvent;

// Delivered, in order, to the input layer by the next pump.
void HeadlessQueue(const HeadlessEvent& event);
// Called with the finished picture each time the game presents one.
void HeadlessOnPresent(std::function<void(const uint32_t* pixels)> hook);
// Called after every sleep with the virtual time; lets a driver notice a game that
// keeps waiting without presenting anything.
void HeadlessOnSleep(std::function<void(int64_t micros)> hook);
void HeadlessSetMicros(int64_t micros);
