// Sizes of the polled input state.
#pragma once

constexpr int kKeyCount = 256;
constexpr int kMouseButtons = 4; // 1 left, 2 right, 3 middle
