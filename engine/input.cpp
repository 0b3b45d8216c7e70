#include "engine/input.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <utility>

#include "engine/graphics.h"
#include "engine/input_events.h"
#include "engine/platform.h"

namespace {

struct InputState {
    std::array<int, kKeyCount> keyDown{};
    std::array<int, kKeyCount> keyHits{};
    std::array<int, kMouseButtons> mouseDown{};
    std::array<int, kMouseButtons> mouseHits{};
    // The pointer is virtual: relative motion moves it, MoveMouse sets it. Fractions are kept
    // so that slow motion on a scaled window is never lost.
    double pointerX = kScreenW / 2;
    double pointerY = kScreenH / 2;
    int mouseZ = 0;
    bool suspended = false;
    bool terminate = false;
    bool quitThrown = false;
};

InputState in;
volatile std::sig_atomic_t signalQuit = 0;

bool ValidKey(int key) { return key > 0 && key < kKeyCount; }
bool ValidButton(int button) { return button >= 1 && button < kMouseButtons; }

void ClampPointer() {
    in.pointerX = std::clamp(in.pointerX, 0.0, kScreenW - 1.0);
    in.pointerY = std::clamp(in.pointerY, 0.0, kScreenH - 1.0);
}

void Poll() {
    PlatformPump();
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

} // namespace

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

void OnMouseMotion(double dx, double dy) {
    in.pointerX += dx;
    in.pointerY += dy;
    ClampPointer();
}

void OnMouseWheel(int dz) { in.mouseZ += dz; }

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

void RequestQuitFromSignal() { signalQuit = 1; }

int MouseX() {
    Poll();
    return int(in.pointerX);
}

int MouseY() {
    Poll();
    return int(in.pointerY);
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

void PollInput() { Poll(); }

int64_t MicroSecs() { return PlatformMicros(); }
int64_t MilliSecs() { return PlatformMicros() / 1000; }

void Delay(int64_t ms) {
    if (ms > 0) DelayMicros(ms * 1000);
}

void DelayMicros(int64_t us) {
    if (us > 0) PlatformSleepMicros(us);
}
