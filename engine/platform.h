// What a backend provides to the engine facade. Exactly one backend is linked into a program:
// engine/sdl for the real window, engine/headless for koravel-sim (native or WebAssembly) and the
// tests, engine/web for the game in a browser page.
// Game code never includes this header.
#pragma once
#include <cstdint>
#include <string>

bool PlatformOpen(int width, int height, bool fullscreen, std::string& error);
void PlatformClose();
void PlatformPresent(const uint32_t* pixels);
// Hands every pending platform event to DeliverInput (engine/input.h).
void PlatformPump();
void PlatformWarpMouse(int x, int y);
void PlatformShowCursor(bool shown);
// A monotonic clock in microseconds, and a sleep on it.
int64_t PlatformMicros();
void PlatformSleepMicros(int64_t us);
