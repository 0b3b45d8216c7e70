// The work of one frame, against the floor of clearing and copying a frame, and our drawing
// against SDL's own software renderer drawing the same primitives.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "bench/scenes.h"
#include "engine/graphics.h"
#include "engine/mixer.h"
#include "hostiles/frag.h"
#include "hostiles/star.h"
#include "state/field.h"
#include "state/world.h"

namespace {

// Median and 99th percentile of the iterations, in microseconds.
template <class Work> void Timed(benchmark::State& state, Work work) {
    std::vector<double> us;
    us.reserve(1 << 16);
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        const auto t1 = std::chrono::steady_clock::now();
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::sort(us.begin(), us.end());
    state.counters["p50_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
}

void BM_Floor_ClearAndCopyFrame(benchmark::State& state) {
    static std::vector<uint32_t> frame(800 * 600), copy(800 * 600);
    Timed(state, [&] {
        std::memset(frame.data(), 0, frame.size() * 4);
        std::memcpy(copy.data(), frame.data(), frame.size() * 4);
        benchmark::DoNotOptimize(copy.data());
    });
}
BENCHMARK(BM_Floor_ClearAndCopyFrame);

void BM_Frame_Attract(benchmark::State& state) {
    int f = 180;
    Timed(state, [&] { TitleWork(f++ % 300); });
}
BENCHMARK(BM_Frame_Attract);

void BM_Frame_Level1(benchmark::State& state) {
    SceneLevel1();
    Timed(state, [] { PlayWork(false); });
}
BENCHMARK(BM_Frame_Level1);

void BM_Frame_WorstCase(benchmark::State& state) {
    World& world = CurrentWorld();
    SceneWorst();
    Timed(state, [] { PlayWork(true); });
    state.counters["stars"] = world.field.starsalive;
    state.counters["frags"] = world.field.fragsalive;
}
BENCHMARK(BM_Frame_WorstCase);

// The worst-case frame's lines, points and rectangles, drawn by us and by SDL.
std::vector<DrawCall> WorstCalls() {
    SceneWorst();
    std::vector<DrawCall> calls;
    RecordDrawCalls(&calls);
    PlayWork(true);
    RecordDrawCalls(nullptr);
    return calls;
}

void BM_Draw_Ours(benchmark::State& state) {
    const auto calls = WorstCalls();
    Timed(state, [&] {
        Cls();
        for (const DrawCall& c : calls) {
            SetColor(c.r, c.g, c.bl);
            if (c.kind == DrawCall::Line)
                DrawLine(c.a, c.b, c.c, c.d);
            else if (c.kind == DrawCall::Point)
                Plot(c.a, c.b);
            else
                DrawRect(c.a, c.b, c.c, c.d);
        }
    });
    state.counters["calls"] = double(calls.size());
}
BENCHMARK(BM_Draw_Ours);

void BM_Draw_SdlSoftwareRenderer(benchmark::State& state) {
    const auto calls = WorstCalls();
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormat(0, 800, 600, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(surface);
    Timed(state, [&] {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        for (const DrawCall& c : calls) {
            SDL_SetRenderDrawColor(renderer, c.r, c.g, c.bl, 255);
            if (c.kind == DrawCall::Line)
                SDL_RenderDrawLineF(renderer, c.a, c.b, c.c, c.d);
            else if (c.kind == DrawCall::Point)
                SDL_RenderDrawPointF(renderer, c.a, c.b);
            else {
                const SDL_FRect r{c.a, c.b, c.c, c.d};
                SDL_RenderFillRectF(renderer, &r);
            }
        }
        SDL_RenderFlush(renderer);
    });
    state.counters["calls"] = double(calls.size());
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(surface);
}
BENCHMARK(BM_Draw_SdlSoftwareRenderer);

// The mixer's work for one 30 ms frame (1323 output frames at 44.1 kHz): a quiet scene of four
// voices, and every voice at once loud enough to keep the limiter bending.
void BM_Mix_Frame(benchmark::State& state) {
    Wave wave;
    wave.rate = 22050, wave.channels = 1, wave.bits = 16, wave.frames = 22050;
    wave.samples.resize(size_t(wave.frames));
    for (size_t i = 0; i < wave.samples.size(); ++i)
        wave.samples[i] = int16_t((i % 64 < 32 ? 1 : -1) * 12000);
    MixerReset();
    for (int64_t v = 0; v < state.range(0); ++v) MixerStart(&wave, true);
    std::vector<int16_t> out(1323 * 2);
    Timed(state, [&] { MixerRender(out.data(), 1323, 44100); });
    MixerReset();
}
BENCHMARK(BM_Mix_Frame)->Arg(4)->Arg(kMaxVoices);

} // namespace

int main(int argc, char** argv) {
    BenchStartup();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
