// Maths in the game's own terms: angles in degrees, the constants as stored.
#pragma once
#include <cmath>

// The same bits in every build, whatever the C library (engine/mathx.cpp).
double Sin(double degrees);
double Cos(double degrees);
template <class T> int Sgn(T v) { return (v > T(0)) - (v < T(0)); }
// The single-precision constants the game's arithmetic is tuned to, applied as stored.
inline constexpr double k035 = double(0.35f);
inline constexpr double k07 = double(0.7f);
