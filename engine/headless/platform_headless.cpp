#include <deque>
#include <utility>

#include "engine/headless/headless.h"
#include "engine/platform.h"
#include "engine/steering.h"

namespace {

std::deque<HeadlessEvent> pending;
std::function<void(const uint32_t*)> presentHook;
std::function<void(int64_t)> sleepHook;
int64_t virtualMicros = 0;

} // namespace

void HeadlessQueue(const HeadlessEvent& event) { pending.push_back(event); }
void HeadlessOnPresent(std::function<void(const uint32_t*)> hook) { presentHook = std::move(hook); }
void HeadlessOnSleep(std::function<void(int64_t)> hook) { sleepHook = std::move(hook); }
void HeadlessSetMicros(int64_t micros) { virtualMicros = micros; }

bool PlatformOpen(int, int, bool, std::string&) { return true; }
void PlatformClose() {}

void PlatformPresent(const uint32_t* pixels) {
    SteerAfterPresent();
    if (presentHook) presentHook(pixels);
}

// A script's arrow keys and Space steer as a keyboard does in the real window.
void PlatformPump() {
    SteerPump();
    while (!pending.empty()) {
        const HeadlessEvent e = pending.front();
        pending.pop_front();
        const bool key = e.kind == InputEvent::KeyPress || e.kind == InputEvent::KeyRelease;
        if (!key || !SteerKey(e.a, e.kind == InputEvent::KeyPress)) DeliverInput(e);
    }
}

void PlatformWarpMouse(int, int) {}
void PlatformShowCursor(bool) {}
int64_t PlatformMicros() { return virtualMicros; }

void PlatformSleepMicros(int64_t us) {
    virtualMicros += us;
    if (sleepHook) sleepHook(virtualMicros);
}
