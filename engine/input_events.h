// How a backend feeds platform events into the polled input state.
#pragma once

constexpr int kKeyCount = 256;
constexpr int kMouseButtons = 4; // 1 left, 2 right, 3 middle

void OnKeyDown(int key);
void OnKeyUp(int key);
void OnMouseDown(int button);
void OnMouseUp(int button);
void OnMouseMove(int x, int y);           // absolute position in surface pixels
void OnMouseMotion(double dx, double dy); // relative motion in surface pixels
void OnMouseWheel(int dz);
void OnSuspend();
void OnResume();
void OnTerminate();
