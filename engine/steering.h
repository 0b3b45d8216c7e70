// Steering without a mouse. The arrow keys (and W, A, S, D) and a pad's stick move the pointer a
// step each picture, as the mouse's motion would, faster the longer a key is held; Space and a
// pad's A are the left button, a pad's Start the pause key. Backends hand their keys and pads
// here before the game hears them and deliver what comes out as mouse input, so a game steered
// this way is recorded as motion and replays with no new rules.
#pragma once
#include <cstdint>
#include <string>

// What has steered since the recording began, for its header: "mouse keyboard gamepad".
enum InputDevice : unsigned {
    kMouseDevice = 1,
    kTouchDevice = 2,
    kKeyboardDevice = 4,
    kPadDevice = 8
};
void NoteInputDevice(InputDevice device);
std::string InputDevicesUsed();
void ForgetInputDevices();

// A key going down or up; true when it steers or clicks (the game then never sees it).
bool SteerKey(int key, bool down);
// The stick's deflection, -1 to 1 each way (right and down positive).
void SteerStick(double x, double y);
enum PadButton { kPadA, kPadStart };
void SteerPadButton(PadButton button, bool down);
// After each picture presented: the pointer's motion for the next frame, delivered by the next
// pump, where every platform event is (a recording stamps it with that poll).
void SteerAfterPresent();
void SteerPump();
// Nothing held, nothing noted (a test's fresh start).
void ResetSteering();
