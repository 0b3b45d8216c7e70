// The real window: SDL2 video, events and clock. The only place that includes SDL.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "engine/input.h"
#include "engine/mixer.h"
#include "engine/platform.h"
#include "engine/sdl/keymap.h"

namespace {

SDL_Window* window = nullptr;
SDL_Renderer* renderer = nullptr;
SDL_Texture* texture = nullptr;
bool cursorHidden = false;
SDL_Rect viewport{0, 0, 800, 600}; // where the picture lands in the window's output pixels
double windowToSurface = 1.0;      // surface pixels per window coordinate unit
double motionX = 0, motionY = 0;   // relative motion not yet delivered: whole pixels only
int windowOffsetX = 0, windowOffsetY = 0;
SDL_AudioDeviceID audioDevice = 0;
int audioRate = 44100;

// The only other thread: it mixes straight into SDL's buffer at the device's own rate, so SDL
// converts nothing (its stream conversion cuts the ends of sounds).
void AudioCallback(void*, Uint8* stream, int bytes) {
    MixerRender(reinterpret_cast<int16_t*>(stream), bytes / 4, audioRate);
}

void OpenAudio() {
    SDL_AudioSpec want{}, have{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 512;
    want.callback = AudioCallback;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0)
        audioDevice =
            SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (!audioDevice) {
        std::fprintf(stderr, "koravel: warning: no audio device (%s); playing silently\n",
                     SDL_GetError());
        return;
    }
    audioRate = have.freq;
    SDL_PauseAudioDevice(audioDevice, 0);
}

void UpdateViewport() {
    int outW = 800, outH = 600, winW = 800, winH = 600;
    SDL_GetRendererOutputSize(renderer, &outW, &outH);
    SDL_GetWindowSize(window, &winW, &winH);
    const double scale = std::min(outW / 800.0, outH / 600.0);
    viewport.w = std::max(1, int(800 * scale));
    viewport.h = std::max(1, int(600 * scale));
    viewport.x = (outW - viewport.w) / 2;
    viewport.y = (outH - viewport.h) / 2;
    // Mouse events come in window coordinates, which differ from output pixels on HiDPI.
    const double pixelsPerUnit = winW > 0 ? double(outW) / winW : 1.0;
    windowToSurface = pixelsPerUnit * 800.0 / viewport.w;
    windowOffsetX = int(viewport.x / pixelsPerUnit);
    windowOffsetY = int(viewport.y / pixelsPerUnit);
}

bool RelativeMode() { return SDL_GetRelativeMouseMode() == SDL_TRUE; }

void ApplyCursor() {
    SDL_ShowCursor(cursorHidden ? SDL_DISABLE : SDL_ENABLE);
    // A hidden pointer is steered by relative motion, so it can never leave the window.
    SDL_SetRelativeMouseMode(cursorHidden ? SDL_TRUE : SDL_FALSE);
}

void ToggleFullscreen() {
    const bool full = SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP;
    SDL_SetWindowFullscreen(window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    UpdateViewport();
}

int ButtonOf(Uint8 sdlButton) {
    switch (sdlButton) {
    case SDL_BUTTON_LEFT:
        return 1;
    case SDL_BUTTON_RIGHT:
        return 2;
    case SDL_BUTTON_MIDDLE:
        return 3;
    default:
        return 0; // side buttons are ignored
    }
}

void Deliver(InputEvent::Kind kind, int a = 0, int b = 0) { DeliverInput({kind, a, b}); }

// Returns true when the event asks the program to go to the background.
bool Handle(const SDL_Event& e) {
    switch (e.type) {
    case SDL_QUIT:
        Deliver(InputEvent::Quit);
        break;
    case SDL_WINDOWEVENT:
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            Deliver(InputEvent::Quit);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            UpdateViewport();
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
        case SDL_WINDOWEVENT_MINIMIZED:
            return true;
        default:
            break;
        }
        break;
    case SDL_KEYDOWN:
        if (e.key.keysym.sym == SDLK_RETURN && (e.key.keysym.mod & KMOD_ALT)) {
            if (!e.key.repeat) ToggleFullscreen();
            break;
        }
        if (e.key.repeat) break; // held, not pressed again
        if (const int key = VirtualKeyOf(e.key.keysym.scancode)) Deliver(InputEvent::KeyPress, key);
        break;
    case SDL_KEYUP:
        if (const int key = VirtualKeyOf(e.key.keysym.scancode))
            Deliver(InputEvent::KeyRelease, key);
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (const int b = ButtonOf(e.button.button)) Deliver(InputEvent::Press, b);
        break;
    case SDL_MOUSEBUTTONUP:
        if (const int b = ButtonOf(e.button.button)) Deliver(InputEvent::Release, b);
        break;
    case SDL_MOUSEMOTION:
        if (RelativeMode()) {
            // Whole surface pixels only, the rest kept for later: nothing is lost on a scaled
            // window, and a recorded game replays exactly.
            motionX += e.motion.xrel * windowToSurface;
            motionY += e.motion.yrel * windowToSurface;
            const int dx = int(motionX), dy = int(motionY);
            motionX -= dx, motionY -= dy;
            if (dx || dy) Deliver(InputEvent::MoveBy, dx, dy);
        } else {
            Deliver(InputEvent::Move, int((e.motion.x - windowOffsetX) * windowToSurface),
                    int((e.motion.y - windowOffsetY) * windowToSurface));
        }
        break;
    case SDL_MOUSEWHEEL:
        Deliver(InputEvent::Wheel, e.wheel.y);
        break;
    default:
        break;
    }
    return false;
}

// While minimised or without the focus the game waits here, so nothing moves meanwhile.
void WaitInBackground() {
    Deliver(InputEvent::Suspend);
    SDL_Event e;
    while (SDL_WaitEvent(&e)) {
        if (e.type == SDL_QUIT ||
            (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE)) {
            Deliver(InputEvent::Quit);
            break;
        }
        if (e.type == SDL_WINDOWEVENT && (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED ||
                                          e.window.event == SDL_WINDOWEVENT_RESTORED))
            break;
    }
    Deliver(InputEvent::Resume);
    UpdateViewport();
}

} // namespace

bool PlatformOpen(int width, int height, bool fullscreen, std::string& error) {
    // Relative mode stays on raw motion (XInput2 on X11): exact, and it receives synthetic
    // motion too. The warped emulation loses motion that arrives while it warps.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = SDL_GetError();
        return false;
    }
    const Uint32 flags =
        SDL_WINDOW_ALLOW_HIGHDPI | (fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    window = SDL_CreateWindow("Koravel", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                              height, flags);
    if (window) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
    if (window && !renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (renderer)
        texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                    width, height);
    if (!texture) {
        error = SDL_GetError();
        PlatformClose();
        return false;
    }
    UpdateViewport();
    ApplyCursor();
    OpenAudio();
    return true;
}

void PlatformClose() {
    if (audioDevice) SDL_CloseAudioDevice(audioDevice);
    audioDevice = 0;
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    texture = nullptr;
    renderer = nullptr;
    window = nullptr;
    SDL_Quit(); // also lets go of SDL's D-Bus connection
}

void PlatformPresent(const uint32_t* pixels) {
    if (!texture) return;
    SDL_UpdateTexture(texture, nullptr, pixels, 800 * 4);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, &viewport);
    SDL_RenderPresent(renderer);
}

void PlatformPump() {
    if (!window) return;
    SDL_Event e;
    while (SDL_PollEvent(&e))
        if (Handle(e)) WaitInBackground();
}

void PlatformWarpMouse(int x, int y) {
    // In relative mode the pointer is virtual and MoveMouse alone sets it.
    if (!window || RelativeMode()) return;
    SDL_WarpMouseInWindow(window, int(x / windowToSurface) + windowOffsetX,
                          int(y / windowToSurface) + windowOffsetY);
}

void PlatformShowCursor(bool shown) {
    cursorHidden = !shown;
    if (window) ApplyCursor();
}

int64_t PlatformMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void PlatformSleepMicros(int64_t us) {
    const int64_t deadline = PlatformMicros() + us;
    // Sleep to within a quarter millisecond of the deadline (timer slack is 50 us here), then
    // yield: accurate without burning a core.
    for (int64_t left; (left = deadline - PlatformMicros()) > 250;)
        std::this_thread::sleep_for(std::chrono::microseconds(left - 250));
    while (PlatformMicros() < deadline) std::this_thread::yield();
}
