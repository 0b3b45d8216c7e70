#include "engine/input.h"

#include <algorithm>
#include <climits>
#include <csignal>
#include <utility>

#include "engine/graphics.h"
#include "engine/input_events.h"
#include "engine/platform.h"
#include "engine/session.h"
#include "engine/steering.h"

namespace {

// The bound game's own input.
InputState& In() { return Session().input; }

volatile std::sig_atomic_t signalQuit = 0;
InputRecorder recorder;
bool replayOnly = false;
bool delivering = false; // true while the schedule delivers, false for the platform's events
std::function<void(int)> keyListener;

bool ValidKey(int key) { return key > 0 && key < kKeyCount; }
bool ValidButton(int button) { return button >= 1 && button < kMouseButtons; }

void ClampPointer() {
    In().pointerX = std::clamp(In().pointerX, 0, kScreenW - 1);
    In().pointerY = std::clamp(In().pointerY, 0, kScreenH - 1);
}

void Poll() {
    EngineSession& session = Session();
    ++session.polls;
    PlatformPump();
    delivering = true;
    while (!session.scheduled.empty() && session.scheduled.front().first <= session.polls) {
        const InputEvent e = session.scheduled.front().second;
        session.scheduled.pop_front();
        DeliverInput(e);
    }
    delivering = false;
    if ((In().terminate || signalQuit) && !In().quitThrown) {
        In().quitThrown = true;
        throw QuitRequest{};
    }
}

void ClearMouse() {
    In().mouseDown.fill(0);
    In().mouseHits.fill(0);
    In().mouseZ = 0;
}

void ClearKeys() {
    In().keyDown.fill(0);
    In().keyHits.fill(0);
}

void OnKeyDown(int key) {
    if (!ValidKey(key)) return;
    if (!In().keyDown[key]) In().keyHits[key]++;
    In().keyDown[key] = 1;
}

void OnKeyUp(int key) {
    if (ValidKey(key)) In().keyDown[key] = 0;
}

void OnMouseDown(int button) {
    if (!ValidButton(button)) return;
    if (!In().mouseDown[button]) In().mouseHits[button]++;
    In().mouseDown[button] = 1;
}

void OnMouseUp(int button) {
    if (ValidButton(button)) In().mouseDown[button] = 0;
}

void OnMouseMove(int x, int y) {
    In().pointerX = x;
    In().pointerY = y;
    ClampPointer();
}

void OnMouseMotion(int dx, int dy) {
    In().pointerX += dx;
    In().pointerY += dy;
    ClampPointer();
}

// Held within int: a flood of huge turns saturates instead of overflowing.
void OnMouseWheel(int dz) {
    In().mouseZ = int(std::clamp<int64_t>(int64_t(In().mouseZ) + dz, INT_MIN, INT_MAX));
}

// The window lost or regained the focus: what it held down meanwhile is not the game's.
void ForgetHeld() {
    ClearKeys();
    ClearMouse();
}

void OnTerminate() { In().terminate = true; }

} // namespace

void DeliverInput(const InputEvent& e) {
    if (replayOnly && !delivering) {
        if (e.kind == InputEvent::Quit || (e.kind == InputEvent::KeyPress && e.a == 27))
            OnTerminate();
        else if (e.kind == InputEvent::KeyPress && keyListener)
            keyListener(e.a);
        return;
    }
    if (recorder) recorder(e, Session().polls, PresentedFrames());
    if (e.kind == InputEvent::KeyPress && keyListener) keyListener(e.a);
    switch (e.kind) {
    case InputEvent::Move:
        OnMouseMove(e.a, e.b);
        break;
    case InputEvent::MoveBy:
        OnMouseMotion(e.a, e.b);
        break;
    case InputEvent::Press:
        OnMouseDown(e.a);
        break;
    case InputEvent::Release:
        OnMouseUp(e.a);
        break;
    case InputEvent::KeyPress:
        OnKeyDown(e.a);
        break;
    case InputEvent::KeyRelease:
        OnKeyUp(e.a);
        break;
    case InputEvent::Wheel:
        OnMouseWheel(e.a);
        break;
    case InputEvent::Quit:
        OnTerminate();
        break;
    case InputEvent::Suspend:
    case InputEvent::Resume:
        ForgetHeld();
        break;
    }
}

void RecordInput(InputRecorder r) { recorder = std::move(r); }
void OnKeyPressed(std::function<void(int)> listener) { keyListener = std::move(listener); }

void ResetInput() {
    ResetSteering();
    In() = InputState{};
    Session().polls = 0;
    recorder = nullptr;
    Session().scheduled.clear();
    replayOnly = false;
}
uint64_t PollCount() { return Session().polls; }

void ScheduleInput(uint64_t poll, const InputEvent& event) {
    Session().scheduled.emplace_back(poll, event);
}
void ReplayOnly(bool on) { replayOnly = on; }

void RequestQuitFromSignal() { signalQuit = 1; }
bool QuitSignalled() { return signalQuit != 0; }

int MouseX() {
    Poll();
    return In().pointerX;
}

int MouseY() {
    Poll();
    return In().pointerY;
}

int MouseZ() {
    Poll();
    return In().mouseZ;
}

int MouseDown(int button) {
    Poll();
    return ValidButton(button) ? In().mouseDown[button] : 0;
}

int MouseHit(int button) {
    Poll();
    if (!ValidButton(button)) return 0;
    return std::exchange(In().mouseHits[button], 0);
}

void FlushMouse() {
    Poll();
    ClearMouse();
}

int KeyDown(int key) {
    Poll();
    return ValidKey(key) ? In().keyDown[key] : 0;
}

int KeyHit(int key) {
    Poll();
    if (!ValidKey(key)) return 0;
    return std::exchange(In().keyHits[key], 0);
}

void FlushKeys() {
    Poll();
    ClearKeys();
}

void MoveMouse(int x, int y) {
    PlatformWarpMouse(x, y);
    OnMouseMove(x, y);
}

int TakeKeyHit(int key) { return ValidKey(key) ? std::exchange(In().keyHits[key], 0) : 0; }

void PollInput() { Poll(); }

int64_t MicroSecs() { return PlatformMicros(); }
int64_t MilliSecs() { return PlatformMicros() / 1000; }

void Delay(int64_t ms) {
    if (ms > 0) DelayMicros(ms * 1000);
}

void DelayMicros(int64_t us) {
    if (us > 0) PlatformSleepMicros(us);
}
