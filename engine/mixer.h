// The software mixer behind PlaySound: any number of overlapping voices (up to kMaxVoices at
// once), each resampled from its own rate to the output's, summed, and passed through a master
// limiter: untouched up to kLimiterKnee, bent softly above it, never at full scale.
//
// The game thread starts and stops voices; whoever owns the output (the SDL audio callback,
// or koravel-sim's wave writer) calls MixerRender. Commands pass through a small queue that is
// locked only to append or to take them, so the audio thread never waits on the game and never
// allocates.
#pragma once
#include <cstdint>

#include "engine/wave.h"

constexpr int kMaxVoices = 32;
constexpr int kLimiterKnee = 24576; // three quarters of full scale

// Starts the wave (which must outlive its playing) and returns the new voice's id (never 0).
uint64_t MixerStart(const Wave* wave, bool loop);
void MixerStop(uint64_t id);
// Mixes the next frames of stereo 16-bit output at the given rate.
void MixerRender(int16_t* out, int frames, int rate);
// The listener's controls, not the game's: paused voices hold their place and give silence;
// the gain in tenths (10, full, leaves every sample as it was; 0 is silence).
void MixerPause(bool paused);
void MixerGain(int tenths);
// Voices playing after the last render (for tests and the soak).
int MixerVoices();
// Forgets every voice and pending command (tests).
void MixerReset();
