#include "engine/steering.h"

#include <algorithm>
#include <cmath>

#include "engine/input.h"

namespace {

// The point follows 0.35 of the pointer's lead: a step of 9 moves it 3 pixels, one of 26 moves
// it 9 (300 pixels a second), about a brisk mouse's pace.
constexpr int kFirstStep = 9, kStepGrowth = 1, kLongestStep = 26;
constexpr double kDeadZone = 0.2;

struct Held {
    bool left = false, right = false, up = false, down = false;
    int step = 0; // grows while any key is held
    double stickX = 0, stickY = 0;
    bool button = false; // Space or A
    unsigned devices = 0;
    int pendingX = 0, pendingY = 0;
};
Held held;

constexpr int kLeftArrow = 37, kUpArrow = 38, kRightArrow = 39, kDownArrow = 40, kSpace = 32;
constexpr int kKeyA = 65, kKeyD = 68, kKeyS = 83, kKeyW = 87;

void Button(bool down, InputDevice device) {
    NoteInputDevice(device);
    if (down == held.button) return;
    held.button = down;
    DeliverInput({down ? InputEvent::Press : InputEvent::Release, 1, 0});
}

// A dead zone, then a curve that keeps small deflections fine.
double Shaped(double v) {
    const double a = std::abs(v);
    if (a < kDeadZone) return 0;
    const double s = (a - kDeadZone) / (1 - kDeadZone);
    return std::copysign(std::min(1.0, s * s), v);
}

} // namespace

void NoteInputDevice(InputDevice device) { held.devices |= device; }
void ForgetInputDevices() { held.devices = 0; }

std::string InputDevicesUsed() {
    std::string names;
    const std::pair<InputDevice, const char*> all[] = {{kMouseDevice, "mouse"},
                                                       {kTouchDevice, "touch"},
                                                       {kKeyboardDevice, "keyboard"},
                                                       {kPadDevice, "gamepad"}};
    for (const auto& [device, name] : all)
        if (held.devices & device) {
            if (!names.empty()) names += ' ';
            names += name;
        }
    return names;
}

bool SteerKey(int key, bool down) {
    bool* direction = key == kLeftArrow || key == kKeyA    ? &held.left
                      : key == kRightArrow || key == kKeyD ? &held.right
                      : key == kUpArrow || key == kKeyW    ? &held.up
                      : key == kDownArrow || key == kKeyS  ? &held.down
                                                           : nullptr;
    if (key == kSpace) {
        Button(down, kKeyboardDevice);
        return true;
    }
    if (!direction) return false;
    NoteInputDevice(kKeyboardDevice);
    *direction = down;
    return true;
}

void SteerStick(double x, double y) {
    held.stickX = Shaped(x);
    held.stickY = Shaped(y);
    if (held.stickX != 0 || held.stickY != 0) NoteInputDevice(kPadDevice);
}

void SteerPadButton(PadButton button, bool down) {
    if (button == kPadA) return Button(down, kPadDevice);
    NoteInputDevice(kPadDevice);
    DeliverInput({down ? InputEvent::KeyPress : InputEvent::KeyRelease, kKeyPause, 0});
}

void SteerAfterPresent() {
    const int kx = int(held.right) - int(held.left), ky = int(held.down) - int(held.up);
    held.step =
        kx || ky ? std::min(kLongestStep, held.step ? held.step + kStepGrowth : kFirstStep) : 0;
    const int dx = kx * held.step + int(std::lround(held.stickX * kLongestStep));
    const int dy = ky * held.step + int(std::lround(held.stickY * kLongestStep));
    held.pendingX += dx;
    held.pendingY += dy;
}

void SteerPump() {
    if (!held.pendingX && !held.pendingY) return;
    const InputEvent motion{InputEvent::MoveBy, held.pendingX, held.pendingY};
    held.pendingX = held.pendingY = 0;
    DeliverInput(motion);
}

void ResetSteering() { held = Held{}; }
