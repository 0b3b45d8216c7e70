// Polled input and timing. Every query first pumps the platform's pending events.
#pragma once
#include <cstdint>

int MouseX();
int MouseY();
int MouseZ();
int MouseDown(int button);
int MouseHit(int button);
void FlushMouse();
int KeyDown(int key);
int KeyHit(int key);
void FlushKeys();
void MoveMouse(int x, int y);
bool Suspended();
// Pumps pending events; throws QuitRequest once a quit has been asked for.
void PollInput();

// Milliseconds and microseconds from a monotonic clock, 64 bits wide so they never wrap.
int64_t MilliSecs();
int64_t MicroSecs();
void Delay(int64_t ms);
// Sleeps most of the wait and spins only the last fraction of a millisecond.
void DelayMicros(int64_t us);

// Thrown out of any query when the window is closed or the process is asked to terminate:
// the program then ends the way Escape at the top of the attract cycle ends it.
struct QuitRequest {};
// Asks for the same ending from a signal handler.
void RequestQuitFromSignal();
