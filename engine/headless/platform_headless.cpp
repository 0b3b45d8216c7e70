#include <deque>

#include "engine/headless/headless.h"
#include "engine/input_events.h"
#include "engine/platform.h"

namespace {

std::deque<HeadlessEvent> pending;
std::function<void(const uint32_t*)> presentHook;
std::function<void(int64_t)> sleepHook;
int64_t virtualMicros = 0;

void Deliver(const HeadlessEvent& e) {
    switch (e.kind) {
    case HeadlessEvent::Move:
        OnMouseMove(e.a, e.b);
        break;
    case HeadlessEvent::MoveBy:
        OnMouseMotion(e.a, e.b);
        break;
    case HeadlessEvent::Press:
        OnMouseDown(e.a);
        break;
    case HeadlessEvent::Release:
        OnMouseUp(e.a);
        break;
    case HeadlessEvent::KeyPress:
        OnKeyDown(e.a);
        break;
    case HeadlessEvent::KeyRelease:
        OnKeyUp(e.a);
        break;
    case HeadlessEvent::Wheel:
        OnMouseWheel(e.a);
        break;
    case HeadlessEvent::Quit:
        OnTerminate();
        break;
    case HeadlessEvent::Suspend:
        OnSuspend();
        break;
    case HeadlessEvent::Resume:
        OnResume();
        break;
    }
}

} // namespace

void HeadlessQueue(const HeadlessEvent& event) { pending.push_back(event); }
void HeadlessOnPresent(std::function<void(const uint32_t*)> hook) { presentHook = std::move(hook); }
void HeadlessOnSleep(std::function<void(int64_t)> hook) { sleepHook = std::move(hook); }
void HeadlessSetMicros(int64_t micros) { virtualMicros = micros; }

bool PlatformOpen(int, int, bool, std::string&) { return true; }
void PlatformClose() {}

void PlatformPresent(const uint32_t* pixels) {
    if (presentHook) presentHook(pixels);
}

void PlatformPump() {
    while (!pending.empty()) {
        const HeadlessEvent e = pending.front();
        pending.pop_front();
        Deliver(e);
    }
}

void PlatformWarpMouse(int, int) {}
void PlatformShowCursor(bool) {}
int64_t PlatformMicros() { return virtualMicros; }

void PlatformSleepMicros(int64_t us) {
    virtualMicros += us;
    if (sleepHook) sleepHook(virtualMicros);
}
