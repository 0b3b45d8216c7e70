// The real window: SDL2 video, events and clock. The only place that includes SDL.
#include <SDL.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "engine/input.h"
#include "engine/mixer.h"
#include "engine/platform.h"
#include "engine/sdl/keymap.h"
#include "engine/steering.h"

namespace {

SDL_Window* window = nullptr;
// Two ways to the screen. Shown at its own size the picture is copied into the window's
// surface (shared memory on X11): no OpenGL at all, which matters where OpenGL is a software
// rasteriser costing 50 MB and several milliseconds a frame. Scaled up to a larger screen a
// renderer does the scaling, on the graphics card when there is one.
SDL_Surface* picture = nullptr; // the game's frame, wrapped without a copy, for scaling
std::vector<uint32_t> shown;    // the frame on the window's surface, unscaled
SDL_Renderer* renderer = nullptr;
SDL_Texture* texture = nullptr;
bool repaintAll = true; // after a resize or exposure the whole window is drawn again
bool cursorHidden = false;
SDL_Rect viewport{0, 0, 800, 600}; // where the picture lands in the window's output pixels
double windowToSurface = 1.0;      // surface pixels per window coordinate unit
double motionX = 0, motionY = 0;   // relative motion not yet delivered: whole pixels only
double stickX = 0, stickY = 0;     // the left stick of the pad last moved
int windowOffsetX = 0, windowOffsetY = 0;
SDL_AudioDeviceID audioDevice = 0;
int audioRate = 44100;

// The only other thread: it mixes straight into SDL's buffer at the device's own rate, so SDL
// converts nothing (its stream conversion cuts the ends of sounds).
void AudioCallback(void*, Uint8* stream, int bytes) {
    MixerRender(reinterpret_cast<int16_t*>(stream), bytes / 4, audioRate);
}

// The libraries SDL probes (ALSA, PulseAudio, Wayland's client) print their own complaints
// while it looks for a device; when none is found we say so in one line of our own, so theirs
// are held back, for the probe's length only.
class QuietProbe {
  public:
    QuietProbe() {
        std::fflush(stderr);
        saved_ = ::dup(2);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) ::dup2(null, 2);
        if (null >= 0) ::close(null);
    }
    ~QuietProbe() {
        std::fflush(stderr);
        if (saved_ < 0) return;
        ::dup2(saved_, 2);
        ::close(saved_);
    }
    QuietProbe(const QuietProbe&) = delete;
    QuietProbe& operator=(const QuietProbe&) = delete;

  private:
    int saved_ = -1;
};

void OpenAudio() {
    SDL_AudioSpec want{}, have{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 512;
    want.callback = AudioCallback;
    {
        QuietProbe quiet;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0)
            audioDevice =
                SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    }
    if (!audioDevice) {
        std::fprintf(stderr, "koravel: warning: no audio device (%s); playing silently\n",
                     SDL_GetError());
        return;
    }
    audioRate = have.freq;
    SDL_PauseAudioDevice(audioDevice, 0);
}

// Why no window could be had, naming the display that was asked for when one was.
std::string NoDisplay(const char* sdlSays) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = SDL_getenv(name); value && *value)
            return std::string("the display ") + name + "=" + value +
                   " cannot be opened (is its server running, and may this user use it?)";
    return sdlSays && *sdlSays
               ? std::string("no display found (") + sdlSays + "; set DISPLAY or WAYLAND_DISPLAY)"
               : "no display found (set DISPLAY or WAYLAND_DISPLAY)";
}

void UpdateViewport() {
    int outW = 800, outH = 600, winW = 800, winH = 600;
    if (renderer)
        SDL_GetRendererOutputSize(renderer, &outW, &outH);
    else
        SDL_GetWindowSizeInPixels(window, &outW, &outH);
    SDL_GetWindowSize(window, &winW, &winH);
    repaintAll = true;
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

// Whether an X11 display has no window manager to obey a full-screen request. Without one, SDL
// still takes the window for the size of the screen while it stays 800 x 600, and the picture
// is drawn for a window that is not there. Asked through the libX11 SDL has loaded.
bool X11WithoutWindowManager() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || SDL_strcmp(driver, "x11") != 0) return false;
    void* xlib = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (!xlib) return false;
    using OpenDisplay = void* (*)(const char*);
    using CloseDisplay = int (*)(void*);
    using DefaultRoot = unsigned long (*)(void*);
    using InternAtom = unsigned long (*)(void*, const char*, int);
    using GetProperty =
        int (*)(void*, unsigned long, unsigned long, long, long, int, unsigned long, unsigned long*,
                int*, unsigned long*, unsigned long*, unsigned char**);
    using Free = int (*)(void*);
    const auto open = reinterpret_cast<OpenDisplay>(dlsym(xlib, "XOpenDisplay"));
    const auto close = reinterpret_cast<CloseDisplay>(dlsym(xlib, "XCloseDisplay"));
    const auto root = reinterpret_cast<DefaultRoot>(dlsym(xlib, "XDefaultRootWindow"));
    const auto atom = reinterpret_cast<InternAtom>(dlsym(xlib, "XInternAtom"));
    const auto property = reinterpret_cast<GetProperty>(dlsym(xlib, "XGetWindowProperty"));
    const auto release = reinterpret_cast<Free>(dlsym(xlib, "XFree"));
    bool none = false;
    void* display = open && close && root && atom && property && release ? open(nullptr) : nullptr;
    if (display) {
        // An EWMH window manager names its check window on the root window.
        const unsigned long check = atom(display, "_NET_SUPPORTING_WM_CHECK", 1);
        unsigned long type = 0, items = 0, after = 0;
        int format = 0;
        unsigned char* data = nullptr;
        const bool found = check != 0 &&
                           property(display, root(display), check, 0, 1, 0, 0 /* any type */, &type,
                                    &format, &items, &after, &data) == 0 &&
                           items > 0;
        if (data) release(data);
        none = !found;
        close(display);
    }
    dlclose(xlib);
    return none;
}

bool coveringScreen = false; // full screen as a borderless window over the whole display

// Full screen where a window manager obeys the request; where none does, the window itself is
// made borderless and as large as the display, so SDL's idea of its size is the real one.
void SetFullscreen(bool on) {
    if (X11WithoutWindowManager()) {
        SDL_Rect bounds{0, 0, 800, 600};
        SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window)), &bounds);
        SDL_SetWindowFullscreen(window, 0);
        SDL_SetWindowBordered(window, on ? SDL_FALSE : SDL_TRUE);
        if (on) {
            SDL_SetWindowSize(window, bounds.w, bounds.h);
            SDL_SetWindowPosition(window, bounds.x, bounds.y);
        } else {
            SDL_SetWindowSize(window, 800, 600);
            SDL_SetWindowPosition(window, bounds.x + (bounds.w - 800) / 2,
                                  bounds.y + (bounds.h - 600) / 2);
        }
        coveringScreen = on;
    } else {
        SDL_SetWindowFullscreen(window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    }
    UpdateViewport();
}

void ToggleFullscreen() {
    SetFullscreen(
        !(coveringScreen || (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP)));
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
        case SDL_WINDOWEVENT_EXPOSED:
            repaintAll = true;
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
        if (const int key = VirtualKeyOf(e.key.keysym.scancode); key && !SteerKey(key, true))
            Deliver(InputEvent::KeyPress, key);
        break;
    case SDL_KEYUP:
        if (const int key = VirtualKeyOf(e.key.keysym.scancode); key && !SteerKey(key, false))
            Deliver(InputEvent::KeyRelease, key);
        break;
    case SDL_CONTROLLERDEVICEADDED:
        SDL_GameControllerOpen(e.cdevice.which); // closed with the subsystem
        break;
    case SDL_CONTROLLERAXISMOTION:
        if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX ||
            e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY) {
            (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX ? stickX : stickY) = e.caxis.value / 32767.0;
            SteerStick(stickX, stickY);
        }
        break;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
        const bool down = e.type == SDL_CONTROLLERBUTTONDOWN;
        // The pad's cross steers as the arrow keys do.
        const int arrow = e.cbutton.button == SDL_CONTROLLER_BUTTON_DPAD_LEFT    ? 37
                          : e.cbutton.button == SDL_CONTROLLER_BUTTON_DPAD_UP    ? 38
                          : e.cbutton.button == SDL_CONTROLLER_BUTTON_DPAD_RIGHT ? 39
                          : e.cbutton.button == SDL_CONTROLLER_BUTTON_DPAD_DOWN  ? 40
                                                                                 : 0;
        if (arrow) SteerKey(arrow, down), NoteInputDevice(kPadDevice);
        if (e.cbutton.button == SDL_CONTROLLER_BUTTON_A) SteerPadButton(kPadA, down);
        if (e.cbutton.button == SDL_CONTROLLER_BUTTON_START) SteerPadButton(kPadStart, down);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
        NoteInputDevice(kMouseDevice);
        if (const int b = ButtonOf(e.button.button)) Deliver(InputEvent::Press, b);
        break;
    case SDL_MOUSEBUTTONUP:
        if (const int b = ButtonOf(e.button.button)) Deliver(InputEvent::Release, b);
        break;
    case SDL_MOUSEMOTION:
        NoteInputDevice(kMouseDevice);
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
    if (audioDevice) SDL_PauseAudioDevice(audioDevice, 1); // the bond's hum would go on

    SDL_Event e;
    // Waking every tenth of a second: a signal (Ctrl+C in the terminal) ends the program even
    // while the window is hidden, and a signal never wakes SDL's wait by itself.
    for (;;) {
        if (!SDL_WaitEventTimeout(&e, 100)) {
            if (QuitSignalled()) break;
            continue;
        }
        if (e.type == SDL_QUIT ||
            (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE)) {
            Deliver(InputEvent::Quit);
            break;
        }
        if (e.type == SDL_WINDOWEVENT && (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED ||
                                          e.window.event == SDL_WINDOWEVENT_RESTORED))
            break;
    }
    if (audioDevice) SDL_PauseAudioDevice(audioDevice, 0);
    Deliver(InputEvent::Resume);
    UpdateViewport();
}

// The renderer only when the picture will be scaled (a full screen larger than the picture, a
// high-density display), or when asked for by name.
bool ChooseRenderer(int width, int height) {
    if (const char* how = SDL_getenv("KORAVEL_PRESENT")) {
        if (SDL_strcmp(how, "renderer") == 0) return true;
        if (SDL_strcmp(how, "surface") == 0) return false;
    }
    int w = width, h = height;
    SDL_GetWindowSizeInPixels(window, &w, &h);
    return w != width || h != height;
}

// At the picture's own size only the rows that changed are copied and sent to the display:
// the display server's share of a frame then shrinks with what moves, and so does its jitter.
bool PresentChangedRows(const uint32_t* pixels, SDL_Surface* screen) {
    const Uint32 format = screen->format->format;
    if (viewport.w != 800 || viewport.h != 600 ||
        (format != SDL_PIXELFORMAT_RGB888 && format != SDL_PIXELFORMAT_ARGB8888))
        return false;
    shown.resize(800 * 600);
    std::vector<SDL_Rect> bands;
    for (int y = 0; y < 600; ++y) {
        const uint32_t* row = pixels + y * 800;
        uint32_t* old = shown.data() + y * 800;
        if (!repaintAll && std::memcmp(row, old, 800 * 4) == 0) continue;
        std::memcpy(old, row, 800 * 4);
        std::memcpy(static_cast<uint8_t*>(screen->pixels) + (viewport.y + y) * screen->pitch +
                        viewport.x * 4,
                    row, 800 * 4);
        if (!bands.empty() && bands.back().y + bands.back().h >= viewport.y + y - 4)
            bands.back().h = viewport.y + y + 1 - bands.back().y; // close enough: one band
        else
            bands.push_back({viewport.x, viewport.y + y, 800, 1});
    }
    if (!bands.empty()) SDL_UpdateWindowSurfaceRects(window, bands.data(), int(bands.size()));
    return true;
}

void PresentOnSurface(const uint32_t* pixels) {
    SDL_Surface* screen = SDL_GetWindowSurface(window); // remade by SDL after a resize
    if (!screen) return;
    if (repaintAll) {
        SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 0, 0, 0)); // the bars
        SDL_UpdateWindowSurface(window);
    }
    if (!PresentChangedRows(pixels, screen)) {
        if (!picture || picture->pixels != pixels) {
            SDL_FreeSurface(picture);
            picture = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels), 800, 600,
                                                         32, 800 * 4, SDL_PIXELFORMAT_ARGB8888);
            if (!picture) return;
            SDL_SetSurfaceBlendMode(picture, SDL_BLENDMODE_NONE); // alpha means nothing here
        }
        SDL_Rect to = viewport;
        SDL_BlitScaled(picture, nullptr, screen, &to);
        SDL_UpdateWindowSurfaceRects(window, &viewport, 1);
    }
    repaintAll = false;
}

// Xlib ends the process on its own when the display goes away (the X server stops, the SSH
// tunnel drops). The table is already safe (it is saved after every initials entry), but the
// player should read why in the game's own words and get a failure status.
void SayWhenTheDisplayIsLost() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || SDL_strcmp(driver, "x11") != 0) return;
    void* xlib = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (!xlib) return;
    using IoErrorHandler = int (*)(void*);
    using SetHandler = IoErrorHandler (*)(IoErrorHandler);
    const auto set = reinterpret_cast<SetHandler>(dlsym(xlib, "XSetIOErrorHandler"));
    if (set)
        set([](void*) -> int {
            static const char message[] = "koravel: lost the connection to the display\n";
            [[maybe_unused]] const ssize_t written = write(2, message, sizeof message - 1);
            _exit(1);
        });
    dlclose(xlib); // SDL still holds it
}

} // namespace

bool PlatformOpen(int width, int height, bool fullscreen, std::string& error) {
    // Relative mode stays on raw motion (XInput2 on X11): exact, and it receives synthetic
    // motion too. The warped emulation loses motion that arrives while it warps.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // The window's surface as the display's own shared memory, not an OpenGL texture.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    int failed;
    {
        QuietProbe quiet;
        failed = SDL_InitSubSystem(SDL_INIT_VIDEO);
    }
    if (failed != 0) {
        error = NoDisplay(SDL_GetError());
        return false;
    }
    // With no display SDL falls back to drivers that show nothing: a game nobody can see
    // would play on unseen. Those run only when asked for by name.
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    if (driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0) &&
        !(asked && SDL_strcasecmp(asked, driver) == 0)) {
        error = NoDisplay(nullptr);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    // Pads steer too; without the subsystem (no udev, say) the game plays on without them.
    {
        QuietProbe quiet;
        SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
    // Hidden until its full screen is settled, so that it is mapped once, at its real size.
    window = SDL_CreateWindow("Koravel", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                              height, SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_HIDDEN);
    // A window manager takes the request with the window; without one, the window is moved
    // and sized once it is on the screen with its renderer (which may make it anew).
    const bool managed = !X11WithoutWindowManager();
    if (window) {
        if (fullscreen && managed) SetFullscreen(true);
        SDL_ShowWindow(window);
    }
    SDL_Rect screen{0, 0, width, height};
    if (window) SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window)), &screen);
    const bool scaledLater = fullscreen && !managed && (screen.w != width || screen.h != height);
    if (window && (ChooseRenderer(width, height) || scaledLater)) {
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
        if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
        if (renderer)
            texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                        SDL_TEXTUREACCESS_STREAMING, width, height);
    }
    if (!texture && !(window && !renderer && SDL_GetWindowSurface(window))) {
        error = SDL_GetError();
        PlatformClose();
        return false;
    }
    if (fullscreen && !managed) SetFullscreen(true);
    UpdateViewport();
    ApplyCursor();
    OpenAudio();
    SayWhenTheDisplayIsLost();
    return true;
}

void PlatformClose() {
    if (audioDevice) SDL_CloseAudioDevice(audioDevice);
    audioDevice = 0;
    if (picture) SDL_FreeSurface(picture);
    picture = nullptr;
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    texture = nullptr;
    renderer = nullptr;
    window = nullptr;
    SDL_Quit(); // also lets go of SDL's D-Bus connection
}

void PlatformPresent(const uint32_t* pixels) {
    SteerAfterPresent();
    if (!window) return;
    if (!renderer) return PresentOnSurface(pixels);
    if (!texture) return;
    SDL_UpdateTexture(texture, nullptr, pixels, 800 * 4);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, &viewport);
    SDL_RenderPresent(renderer);
}

void PlatformPump() {
    if (!window) return;
    SteerPump();
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
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

void PlatformSleepMicros(int64_t us) {
    // Sleep to an absolute deadline a little early on the same clock, then watch the clock for
    // the rest: waking from a sleep takes 0.1 to 0.2 ms on a virtual machine, and yielding
    // instead could hand the core to another program for milliseconds.
    static const bool tightTimer = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    (void)tightTimer;
    constexpr int64_t kWakeMargin = 300;
    const int64_t deadline = PlatformMicros() + us;
    if (us > kWakeMargin) {
        const int64_t wake = deadline - kWakeMargin;
        const timespec at{time_t(wake / 1000000), long(wake % 1000000) * 1000};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {}
    }
    while (PlatformMicros() < deadline) {}
}
