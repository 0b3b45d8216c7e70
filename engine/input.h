// Polled input and timing. Every query first pumps the platform's pending events.
#pragma once
#include <cstdint>
#include <functional>

// One input event as a platform delivers it.
struct InputEvent {
    enum Kind { Move, MoveBy, Press, Release, KeyPress, KeyRelease, Wheel, Quit, Suspend, Resume };
    Kind kind = Move;
    int a = 0, b = 0; // coordinates, a motion, a button, a key code or a wheel amount
};

// Backends hand every platform event to this, during PlatformPump.
void DeliverInput(const InputEvent& event);
// Hears every event delivered, with the number of the poll that delivered it and the number of
// pictures presented before it: enough to replay a game exactly.
using InputRecorder = std::function<void(const InputEvent&, uint64_t poll, uint64_t frame)>;
void RecordInput(InputRecorder recorder);
// Back as the program starts: no key or button down, the pointer in the middle, no polls,
// nothing scheduled or recorded (a test's fresh game).
void ResetInput();
// Polls so far: each query and each Flip pumps the platform's events once.
uint64_t PollCount();
// Delivers the event at the given poll (or the first one after it), after the platform's own
// events of that poll: a recorded game's events arrive exactly where they did.
void ScheduleInput(uint64_t poll, const InputEvent& event);
// While replaying, the platform's own input is ignored but for the window's close button and
// Escape, which end the program.
void ReplayOnly(bool on);

// The keys the game reads: Escape leaves a game, and the program from the attract screens;
// the pause key (P, Pause, a pad's Start, the page's) pauses play. A code of its own, which no
// key had before, so recordings made without it play as they did.
constexpr int kKeyEscape = 27;
constexpr int kKeyPause = 19;

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
// The presses of a key the polls so far delivered and nobody took, without polling again: a
// check that costs no query keeps every recording made without it exact.
int TakeKeyHit(int key);
// Hears every key press delivered (the game's own, a recording's, and while a recording is
// watched the watcher's too, which the game never sees): the player's controls of the program
// itself (the volume, say) that are no part of the game.
void OnKeyPressed(std::function<void(int key)> listener);
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
// Whether a signal has asked for it (a backend waiting for the focus looks at this).
bool QuitSignalled();
