#include "engine/input.h"

#include <algorithm>
#include <array>
#include <climits>
#include <csignal>
#include <deque>
#include <utility>

#include "engine/graphics.h"
#include "engine/input_events.h"
#include "engine/platform.h"
#include "engine/steering.h"

namespace {

struct InputState {
    std::array<int, kKeyCount> keyDown{};
    std::array<int, kKeyCount> keyHits{};
    std::array<int, kMouseButtons> mouseDown{};
    std::array<int, kMouseButtons> mouseHits{};
    // The pointer is virtual: relative motion moves it, MoveMouse sets it.
    int pointerX = kScreenW / 2;
    int pointerY = kScreenH / 2;
    int mouseZ = 0;
    bool suspended = false;
    bool terminate = false;
    bool quitThrown = false;
};

InputState in;
volatile std::sig_atomic_t signalQuit = 0;
uint64_t polls = 0;
InputRecorder recorder;
std::deque<std::pair<uint64_t, InputEvent>> scheduled;
bool replayOnly = false;
bool delivering = false; // true while the schedule delivers, false for the platform's events
std::function<void(int)> keyListener;

bool ValidKey(int key) { return key > 0 && key < kKeyCount; }
bool ValidButton(int button) { return button >= 1 && button < kMouseButtons; }

void ClampPointer() {
    in.pointerX = std::clamp(in.pointerX, 0, kScreenW - 1);
    in.pointerY = std::clamp(in.pointerY, 0, kScreenH - 1);
}

void Poll() {
    ++polls;
    PlatformPump();
    delivering = true;
    while (!scheduled.empty() && scheduled.front().first <= polls) {
        const InputEvent e = scheduled.front().second;
        scheduled.pop_front();
        DeliverInput(e);
    }
    delivering = false;
    if ((in.terminate || signalQuit) && !in.quitThrown) {
        in.quitThrown = true;
        throw QuitRequest{};
    }
}

void ClearMouse() {
    in.mouseDown.fill(0);
    in.mouseHits.fill(0);
    in.mouseZ = 0;
}

void ClearKeys() {
    in.keyDown.fill(0);
    in.keyHits.fill(0);
}

void OnKeyDown(int key) {
    if (!ValidKey(key)) return;
    if (!in.keyDown[key]) in.keyHits[key]++;
    in.keyDown[key] = 1;
}

void OnKeyUp(int key) {
    if (ValidKey(key)) in.keyDown[key] = 0;
}

void OnMouseDown(int button) {
    if (!ValidButton(button)) return;
    if (!in.mouseDown[button]) in.mouseHits[button]++;
    in.mouseDown[button] = 1;
}

void OnMouseUp(int button) {
    if (ValidButton(button)) in.mouseDown[button] = 0;
}

void OnMouseMove(int x, int y) {
    in.pointerX = x;
    in.pointerY = y;
    ClampPointer();
}

void OnMouseMotion(int dx, int dy) {
    in.pointerX += dx;
    in.pointerY += dy;
    ClampPointer();
}

// Held within int: a flood of huge turns saturates instead of overflowing.
void OnMouseWheel(int dz) {
    in.mouseZ = int(std::clamp<int64_t>(int64_t(in.mouseZ) + dz, INT_MIN, INT_MAX));
}

void OnSuspend() {
    ClearKeys();
    ClearMouse();
    in.suspended = true;
}

void OnResume() {
    ClearKeys();
    ClearMouse();
    in.suspended = false;
}

void OnTerminate() { in.terminate = true; }

} // namespace

void DeliverInput(const InputEvent& e) {
    if (replayOnly && !delivering) {
        if (e.kind == InputEvent::Quit || (e.kind == InputEvent::KeyPress && e.a == 27))
            OnTerminate();
        else if (e.kind == InputEvent::KeyPress && keyListener)
            keyListener(e.a);
        return;
    }
    if (recorder) recorder(e, polls, PresentedFrames());
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
        OnSuspend();
        break;
    case InputEvent::Resume:
        OnResume();
        break;
    }
}

void RecordInput(InputRecorder r) { recorder = std::move(r); }
void OnKeyPressed(std::function<void(int)> listener) { keyListener = std::move(listener); }

void ResetInput() {
    ResetSteering();
    in = InputState{};
    polls = 0;
    recorder = nullptr;
    scheduled.clear();
    replayOnly = false;
}
uint64_t PollCount() { return polls; }

void ScheduleInput(uint64_t poll, const InputEvent& event) { scheduled.emplace_back(poll, event); }
void ReplayOnly(bool on) { replayOnly = on; }

void RequestQuitFromSignal() { signalQuit = 1; }
bool QuitSignalled() { return signalQuit != 0; }

int MouseX() {
    Poll();
    return in.pointerX;
}

int MouseY() {
    Poll();
    return in.pointerY;
}

int MouseZ() {
    Poll();
    return in.mouseZ;
}

int MouseDown(int button) {
    Poll();
    return ValidButton(button) ? in.mouseDown[button] : 0;
}

int MouseHit(int button) {
    Poll();
    if (!ValidButton(button)) return 0;
    return std::exchange(in.mouseHits[button], 0);
}

void FlushMouse() {
    Poll();
    ClearMouse();
}

int KeyDown(int key) {
    Poll();
    return ValidKey(key) ? in.keyDown[key] : 0;
}

int KeyHit(int key) {
    Poll();
    if (!ValidKey(key)) return 0;
    return std::exchange(in.keyHits[key], 0);
}

void FlushKeys() {
    Poll();
    ClearKeys();
}

void MoveMouse(int x, int y) {
    PlatformWarpMouse(x, y);
    OnMouseMove(x, y);
}

bool Suspended() { return in.suspended; }

int TakeKeyHit(int key) { return ValidKey(key) ? std::exchange(in.keyHits[key], 0) : 0; }

void PollInput() { Poll(); }

int64_t MicroSecs() { return PlatformMicros(); }
int64_t MilliSecs() { return PlatformMicros() / 1000; }

void Delay(int64_t ms) {
    if (ms > 0) DelayMicros(ms * 1000);
}

void DelayMicros(int64_t us) {
    if (us > 0) PlatformSleepMicros(us);
}
