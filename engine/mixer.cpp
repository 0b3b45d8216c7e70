#include "engine/mixer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>

namespace {

struct Command {
    enum Kind { Start, Stop } kind = Start;
    uint64_t id = 0;
    const Wave* wave = nullptr;
    bool loop = false;
};

struct Voice {
    uint64_t id = 0; // 0: free
    const Wave* wave = nullptr;
    bool loop = false;
    uint64_t position = 0; // in source frames, 32.32 fixed point
    uint64_t started = 0;  // start order, to drop the oldest first
};

constexpr size_t kQueue = 256;

std::mutex queueLock;
std::array<Command, kQueue> queue;
size_t queued = 0;
uint64_t nextId = 1;

// Set by the game thread, read by the renderer.
std::atomic<bool> paused{false};
std::atomic<int> gain{10};

// Owned by whichever thread renders.
std::array<Voice, kMaxVoices> voices;
uint64_t startCount = 0;
int activeVoices = 0;

void Apply(const Command& c) {
    if (c.kind == Command::Stop) {
        for (Voice& v : voices)
            if (v.id == c.id) v.id = 0;
        return;
    }
    Voice* slot = nullptr;
    for (Voice& v : voices)
        if (v.id == 0) slot = &v;
    if (!slot) { // all busy: the oldest one-shot makes room; a looping hum is never cut
        for (Voice& v : voices)
            if (!v.loop && (!slot || v.started < slot->started)) slot = &v;
    }
    if (!slot) return;
    *slot = Voice{c.id, c.wave, c.loop, 0, ++startCount};
}

int16_t Sample(const Wave& w, int64_t frame, int channel) {
    return w
        .samples[size_t(frame) * size_t(w.channels) + size_t(std::min(channel, w.channels - 1))];
}

// Adds the voice's next frames, resampled by linear interpolation, to the sum.
void MixVoice(Voice& v, int32_t* sum, int frames, int rate) {
    const Wave& w = *v.wave;
    const uint64_t step = (uint64_t(w.rate) << 32) / uint64_t(std::max(rate, 1));
    const uint64_t end = uint64_t(w.frames) << 32;
    for (int f = 0; f < frames; ++f) {
        if (v.position >= end) {
            if (!v.loop) break;
            // Seamless: the fraction carries into the next pass. A wave shorter than one step
            // is passed over more than once.
            v.position %= end;
        }
        const int64_t i = int64_t(v.position >> 32);
        const int64_t frac = int64_t(v.position & 0xffffffffu);
        const int64_t j = i + 1 < w.frames ? i + 1 : (v.loop ? 0 : -1);
        for (int c = 0; c < 2; ++c) {
            const int64_t a = Sample(w, i, c);
            const int64_t b = j >= 0 ? Sample(w, j, c) : 0;
            sum[f * 2 + c] += int32_t(a + (((b - a) * frac) >> 32));
        }
        v.position += step;
    }
    if (!v.loop && v.position >= end) v.id = 0; // finished: the slot is free again
}

// The master limiter: a fixed soft knee. Below it the sum passes untouched, so a lone effect (the
// loudest peaks at 19228) plays exactly as mixed; above it the curve bends with slope 1 at the
// knee towards full scale, which it never reaches. No gain follows the signal, so nothing pumps.
int16_t Limit(int32_t sum) {
    constexpr int64_t kRoom = 32767 - kLimiterKnee;
    const int64_t over = int64_t(sum < 0 ? -int64_t(sum) : sum) - kLimiterKnee;
    if (over <= 0) return int16_t(sum);
    const int64_t bent = kLimiterKnee + kRoom * over / (over + kRoom);
    return int16_t(sum < 0 ? -bent : bent);
}

} // namespace

uint64_t MixerStart(const Wave* wave, bool loop) {
    std::lock_guard<std::mutex> hold(queueLock);
    const uint64_t id = nextId++;
    if (!wave || wave->frames <= 0) return id;
    if (queued == kQueue) { // nobody is rendering: keep the newest
        std::move(queue.begin() + 1, queue.end(), queue.begin());
        --queued;
    }
    queue[queued++] = Command{Command::Start, id, wave, loop};
    return id;
}

void MixerStop(uint64_t id) {
    std::lock_guard<std::mutex> hold(queueLock);
    if (queued == kQueue) return;
    queue[queued++] = Command{Command::Stop, id, nullptr, false};
}

void MixerPause(bool on) { paused = on; }
void MixerGain(int tenths) { gain = std::clamp(tenths, 0, 10); }

void MixerRender(int16_t* out, int frames, int rate) {
    std::array<Command, kQueue> taken;
    size_t count;
    {
        std::lock_guard<std::mutex> hold(queueLock);
        count = queued;
        std::copy_n(queue.begin(), count, taken.begin());
        queued = 0;
    }
    for (size_t i = 0; i < count; ++i) Apply(taken[i]);
    if (paused) { // every voice holds its place
        std::fill_n(out, size_t(frames) * 2, int16_t(0));
        return;
    }
    const int32_t tenths = gain;

    // Sum in 32 bits, a block at a time, and limit once at the end.
    constexpr int kBlock = 1024;
    static std::array<int32_t, kBlock * 2> sum;
    for (int done = 0; done < frames; done += kBlock) {
        const int n = std::min(kBlock, frames - done);
        std::fill_n(sum.begin(), n * 2, 0);
        activeVoices = 0;
        for (Voice& v : voices) {
            if (v.id == 0) continue;
            MixVoice(v, sum.data(), n, rate);
            if (v.id != 0) activeVoices++;
        }
        for (int k = 0; k < n * 2; ++k)
            out[size_t(done) * 2 + size_t(k)] = Limit(sum[size_t(k)] * tenths / 10);
    }
}

int MixerVoices() { return activeVoices; }

void MixerReset() {
    paused = false;
    gain = 10;
    std::lock_guard<std::mutex> hold(queueLock);
    queued = 0;
    voices.fill(Voice{});
    activeVoices = 0;
}
