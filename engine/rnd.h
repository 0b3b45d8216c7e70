// The one pseudo-random generator behind every random choice of the game:
// Park and Miller's minimal standard generator (multiplier 48271) by Schrage's method.
#pragma once
#include <cstdint>

void SeedRnd(int64_t seed);
// The state a seed starts the generator in: seeds that give the same state are one seed.
int32_t KeptSeed(int64_t seed);
int32_t RndState();
double RndDouble();
// A real in [min(a, b), max(a, b)).
double Rnd(double a, double b = 0);
