// The browser backend: the picture in a canvas, the mouse through Pointer Lock, keys, focus and
// Web Audio (engine/web/library_koravel.js), and sleeps that hand the browser its turn: the
// game's loops block as on the desktop, and Asyncify unwinds them into the browser's event loop
// for every sleep.
#include <emscripten.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/input.h"
#include "engine/mixer.h"
#include "engine/platform.h"
#include "engine/steering.h"

extern "C" {
void koravel_web_open(int width, int height);
int koravel_web_next_event(int* out);
int koravel_web_away();
void koravel_web_present(const uint32_t* pixels, int bytes);
void koravel_web_feed_audio();
void koravel_web_closed();
// Marks the end of a sleep: the game's work on a frame is timed from there to its picture.
void koravel_web_awake();
// Reads the pads the browser knows (the Gamepad API) into the event queue.
void koravel_web_poll_pads();
int koravel_web_touch();

// Called back by koravel_web_feed_audio: the next frames of sound at the output's 44.1 kHz.
EMSCRIPTEN_KEEPALIVE int16_t* koravel_web_mix(int frames) {
    static std::vector<int16_t> pcm;
    pcm.resize(size_t(frames) * 2);
    MixerRender(pcm.data(), frames, 44100);
    return pcm.data();
}
}

namespace {

std::vector<uint32_t> rgba; // the canvas wants bytes in R, G, B, A order

// Emscripten starts with a umask of 0777, which would save every file unreadable (and keep it so
// in IndexedDB): the usual one instead, before the game writes anything.
const mode_t usualUmask = ::umask(022);

// The page's own kinds beyond the game's: a pad's stick (thousandths) and its buttons.
constexpr int kPadStick = 10, kPadButtonEvent = 11;

void DeliverWaiting() {
    int e[3];
    // The page numbers its events as InputEvent::Kind does, from MoveBy to KeyRelease.
    while (koravel_web_next_event(e)) {
        if (e[0] == kPadStick) {
            SteerStick(e[1] / 1000.0, e[2] / 1000.0);
        } else if (e[0] == kPadButtonEvent) {
            SteerPadButton(e[1] == 0 ? kPadA : kPadStart, e[2] != 0);
        } else if (e[0] == InputEvent::KeyPress || e[0] == InputEvent::KeyRelease) {
            if (!SteerKey(e[1], e[0] == InputEvent::KeyPress))
                DeliverInput({InputEvent::Kind(e[0]), e[1], e[2]});
        } else if (e[0] >= InputEvent::MoveBy && e[0] <= InputEvent::Release) {
            NoteInputDevice(koravel_web_touch() ? kTouchDevice : kMouseDevice);
            DeliverInput({InputEvent::Kind(e[0]), e[1], e[2]});
        }
    }
}

// A hidden tab or another window in front: the game waits here, as the desktop's does without
// the focus, so nothing moves meanwhile.
void WaitWhileAway() {
    DeliverInput({InputEvent::Suspend});
    while (koravel_web_away()) {
        emscripten_sleep(100);
        int ignored[3];
        while (koravel_web_next_event(ignored)) {}
    }
    DeliverInput({InputEvent::Resume});
}

} // namespace

bool PlatformOpen(int width, int height, bool, std::string&) {
    rgba.assign(size_t(width) * size_t(height), 0);
    koravel_web_open(width, height);
    return true;
}

void PlatformClose() { koravel_web_closed(); }

void PlatformPresent(const uint32_t* pixels) {
    SteerAfterPresent();
    // 0xXXRRGGBB to the bytes R, G, B, 255 (WebAssembly is little-endian).
    for (size_t i = 0, n = rgba.size(); i < n; ++i) {
        const uint32_t p = pixels[i];
        rgba[i] = 0xff000000u | (p & 0xff00u) | ((p >> 16) & 0xffu) | ((p & 0xffu) << 16);
    }
    koravel_web_present(rgba.data(), int(rgba.size() * 4));
}

void PlatformPump() {
    koravel_web_feed_audio();
    SteerPump();
    koravel_web_poll_pads();
    DeliverWaiting();
    if (koravel_web_away()) WaitWhileAway();
}

// The browser shows no cursor while it holds the lock, and the game never moves the mouse.
void PlatformWarpMouse(int, int) {}
void PlatformShowCursor(bool) {}

int64_t PlatformMicros() { return int64_t(emscripten_get_now() * 1000.0); }

// The browser gets its turn in every sleep: it shows the picture and gathers input meanwhile.
// Its timers wake a millisecond or more late, so a long sleep hands over all but its last two
// milliseconds and waits those out here; the game's frames keep their 30 ms.
void PlatformSleepMicros(int64_t us) {
    const double end = emscripten_get_now() + double(us) / 1000.0;
    const double ms = double(us) / 1000.0;
    if (ms < 6) {
        emscripten_sleep(unsigned(ms + 0.999));
    } else {
        emscripten_sleep(unsigned(ms - 2));
        while (emscripten_get_now() < end) {}
    }
    koravel_web_awake();
}
