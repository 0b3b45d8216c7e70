#include "engine/graphics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/bitmap.h"
#include "engine/input.h"
#include "engine/platform.h"
#include "engine/session.h"

namespace {

struct Surface {
    bool open = false;
    int hz = 0;
    uint32_t colour = 0xffffffu; // current colour as 0x00RRGGBB
    int r = 255, g = 255, b = 255;
    int64_t openedMs = 0;
    int64_t paceAccumulator = 0; // milliseconds x hz, 64 bits so it never overflows
    std::string error;
};

Surface surface;
uint32_t backBuffer[kScreenW * kScreenH];
std::vector<DrawCall>* recorder = nullptr;
std::vector<std::function<void()>> presentObservers;
std::function<void()> presentPainter;

// For measuring the real window's pacing: KORAVEL_PRESENT_LOG=FILE gets one line per picture:
// when it was handed to the display (µs), the kind of Flip, and how long the display took to
// take it (µs).
std::FILE* presentLog = nullptr;

void LogPresent(int sync, int64_t handedOver) {
    static bool opened = false;
    if (!opened) {
        opened = true;
        if (const char* path = std::getenv("KORAVEL_PRESENT_LOG"))
            presentLog = std::fopen(path, "w");
    }
    if (presentLog)
        std::fprintf(presentLog, "%lld %d %lld\n", static_cast<long long>(handedOver), sync,
                     static_cast<long long>(MicroSecs() - handedOver));
}

void Record(DrawCall::Kind kind, double a, double b, double c, double d) {
    if (recorder)
        recorder->push_back({kind, float(a), float(b), float(c), float(d), uint8_t(surface.r),
                             uint8_t(surface.g), uint8_t(surface.b)});
}

// Vertices sit at pixel centres: a coordinate addresses the pixel it rounds into.
int64_t PixelOf(double v) {
    if (!(v == v)) return INT32_MIN; // NaN draws nothing
    return int64_t(std::floor(std::clamp(v, -1e9, 1e9) + 0.5));
}

inline void PutPixel(int64_t px, int64_t py) {
    if (px >= 0 && py >= 0 && px < kScreenW && py < kScreenH)
        backBuffer[py * kScreenW + px] = surface.colour;
}

// y on the line through (x0, y0) and (x1, y1) at x, rounded half up, exactly in integers.
inline int64_t MinorAt(int64_t t, int64_t t0, int64_t m0, int64_t dt, int64_t dm) {
    const int64_t num = 2 * (t - t0) * dm + dt;
    const int64_t den = 2 * dt;
    int64_t q = num / den;
    if ((num % den != 0) && ((num < 0) != (den < 0))) --q; // floor division
    return m0 + q;
}

void LinePixels(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    const int64_t dx = x1 - x0, dy = y1 - y0;
    if (std::llabs(dx) >= std::llabs(dy)) {
        if (dx == 0) return PutPixel(x0, y0);
        if (dx < 0) return LinePixels(x1, y1, x0, y0);
        // Only the columns that lie on screen are walked, however long the line.
        const int64_t from = std::max<int64_t>(x0, 0), to = std::min<int64_t>(x1, kScreenW - 1);
        for (int64_t x = from; x <= to; ++x) PutPixel(x, MinorAt(x, x0, y0, dx, dy));
    } else {
        if (dy < 0) return LinePixels(x1, y1, x0, y0);
        const int64_t from = std::max<int64_t>(y0, 0), to = std::min<int64_t>(y1, kScreenH - 1);
        for (int64_t y = from; y <= to; ++y) PutPixel(MinorAt(y, y0, x0, dy, dx), y);
    }
}

// The span of pixel indices whose centres lie in [a, a + len) (either sign of len).
void Span(double a, double len, int64_t limit, int64_t& from, int64_t& to) {
    double lo = std::min(a, a + len), hi = std::max(a, a + len);
    lo = std::clamp(lo, -1e9, 1e9);
    hi = std::clamp(hi, -1e9, 1e9);
    from = std::max<int64_t>(int64_t(std::ceil(lo)), 0);
    to = std::min<int64_t>(int64_t(std::ceil(hi)) - 1, limit - 1);
}

uint32_t Modulate(uint32_t pixel) {
    const uint32_t pr = pixel >> 16 & 255, pg = pixel >> 8 & 255, pb = pixel & 255;
    const uint32_t r = (pr * uint32_t(surface.r) + 127) / 255;
    const uint32_t g = (pg * uint32_t(surface.g) + 127) / 255;
    const uint32_t b = (pb * uint32_t(surface.b) + 127) / 255;
    return r << 16 | g << 8 | b;
}

bool ValidImageSize(int width, int height, int frames) {
    return width > 0 && height > 0 && frames > 0 && width <= 4096 && height <= 4096 &&
           frames <= 4096 && int64_t(width) * height * frames <= 64 * 1024 * 1024;
}

} // namespace

bool Graphics(int width, int height, int depth, int hz, int mode) {
    (void)depth;
    if (surface.open) PlatformClose();
    surface.open = false;
    if (width != kScreenW || height != kScreenH) {
        surface.error = "only an 800 x 600 surface is supported";
        return false;
    }
    if (!PlatformOpen(width, height, mode != 2, surface.error)) return false;
    surface.open = true;
    surface.hz = hz;
    surface.openedMs = MilliSecs();
    surface.paceAccumulator = 0;
    Cls();
    MoveMouse(width / 2, height / 2);
    return true;
}

const std::string& GraphicsError() { return surface.error; }

void EndGraphics() {
    if (presentLog) std::fflush(presentLog);
    if (surface.open) PlatformClose();
    surface.open = false;
}

namespace {
// Verifying a recording needs the game's decisions, not its pictures: nothing the game decides
// reads the framebuffer, so with drawing skipped the same frames, scores and sounds follow.
bool skipDrawing = false;
} // namespace

void SkipDrawing(bool skip) { skipDrawing = skip; }

void Cls() {
    if (!skipDrawing) std::memset(backBuffer, 0, sizeof backBuffer);
}

void SetColor(int r, int g, int b) {
    surface.r = std::clamp(r, 0, 255);
    surface.g = std::clamp(g, 0, 255);
    surface.b = std::clamp(b, 0, 255);
    surface.colour = uint32_t(surface.r) << 16 | uint32_t(surface.g) << 8 | uint32_t(surface.b);
}

void Plot(double x, double y) {
    if (skipDrawing) return;
    Record(DrawCall::Point, x, y, 0, 0);
    PutPixel(PixelOf(x), PixelOf(y));
}

void DrawLine(double x1, double y1, double x2, double y2, int lastPixel) {
    if (skipDrawing) return;
    Record(DrawCall::Line, x1, y1, x2, y2);
    const int64_t ax = PixelOf(x1), ay = PixelOf(y1), bx = PixelOf(x2), by = PixelOf(y2);
    if (ax == INT32_MIN || ay == INT32_MIN || bx == INT32_MIN || by == INT32_MIN) return;
    (void)lastPixel; // the walk always includes the end pixel, as every caller asks
    LinePixels(ax, ay, bx, by);
}

void DrawRect(double x, double y, double width, double height) {
    if (skipDrawing) return;
    Record(DrawCall::Rect, x, y, width, height);
    if (!(width == width) || !(height == height) || !(x == x) || !(y == y)) return;
    int64_t x0, x1, y0, y1;
    Span(x, width, kScreenW, x0, x1);
    Span(y, height, kScreenH, y0, y1);
    for (int64_t py = y0; py <= y1; ++py) {
        uint32_t* row = backBuffer + py * kScreenW;
        for (int64_t px = x0; px <= x1; ++px) row[px] = surface.colour;
    }
}

void DrawImage(const Image& image, double x, double y, int frame) {
    if (skipDrawing) return;
    if (!image || frame < 0 || size_t(frame) >= image->frames.size()) return;
    if (!(x == x) || !(y == y)) return;
    int64_t x0, x1, y0, y1;
    Span(x, image->width, kScreenW, x0, x1);
    Span(y, image->height, kScreenH, y0, y1);
    const int64_t left = int64_t(std::ceil(std::clamp(x, -1e9, 1e9)));
    const int64_t top = int64_t(std::ceil(std::clamp(y, -1e9, 1e9)));
    const auto& pixels = image->frames[size_t(frame)];
    const bool white = surface.r == 255 && surface.g == 255 && surface.b == 255;
    for (int64_t py = y0; py <= y1; ++py) {
        const uint32_t* src = pixels.data() + (py - top) * image->width - left;
        uint32_t* dst = backBuffer + py * kScreenW;
        for (int64_t px = x0; px <= x1; ++px)
            dst[px] = white ? (src[px] & 0xffffffu) : Modulate(src[px]);
    }
}

Image CreateImage(int width, int height, int frames, int flags) {
    if (!ValidImageSize(width, height, frames)) return nullptr;
    auto image = std::make_shared<TImage>();
    image->width = width;
    image->height = height;
    image->flags = flags == -1 ? 0 : flags;
    image->frames.assign(size_t(frames), std::vector<uint32_t>(size_t(width) * size_t(height), 0));
    return image;
}

void GrabImage(const Image& image, int x, int y, int frame) {
    if (skipDrawing) return;
    if (!image || frame < 0 || size_t(frame) >= image->frames.size()) return;
    auto& pixels = image->frames[size_t(frame)];
    for (int j = 0; j < image->height; ++j) {
        for (int i = 0; i < image->width; ++i) {
            const int64_t sx = int64_t(x) + i, sy = int64_t(y) + j;
            const bool inside = sx >= 0 && sy >= 0 && sx < kScreenW && sy < kScreenH;
            pixels[size_t(j) * size_t(image->width) + size_t(i)] =
                inside ? 0xff000000u | backBuffer[sy * kScreenW + sx] : 0xff000000u;
        }
    }
}

Image LoadAnimImage(const std::string& path, int cellWidth, int cellHeight, int firstCell,
                    int cellCount, int flags) {
    if (cellWidth <= 0 || cellHeight <= 0 || firstCell < 0 || cellCount <= 0) return nullptr;
    const auto bmp = LoadBitmapFile(path);
    if (!bmp) return nullptr;
    const int perRow = bmp->width / cellWidth;
    const int rows = bmp->height / cellHeight;
    if (int64_t(firstCell) + cellCount > int64_t(perRow) * rows) return nullptr;
    auto image = CreateImage(cellWidth, cellHeight, cellCount, flags);
    if (!image) return nullptr;
    for (int i = firstCell; i < firstCell + cellCount; ++i) {
        const int left = (i % perRow) * cellWidth, top = (i / perRow) * cellHeight;
        auto& frame = image->frames[size_t(i - firstCell)];
        for (int j = 0; j < cellHeight; ++j)
            std::copy_n(bmp->pixels.begin() + (int64_t(top + j) * bmp->width + left), cellWidth,
                        frame.begin() + int64_t(j) * cellWidth);
    }
    return image;
}

void Flip(int sync) {
    if (sync != 0 && surface.hz > 0) {
        // Paced by the clock: the renderer never waits for the vertical blank.
        surface.paceAccumulator += 1000;
        const int64_t elapsed = MilliSecs() - surface.openedMs;
        const int64_t wait = surface.paceAccumulator / surface.hz - elapsed;
        if (wait >= 1 && wait <= 999)
            Delay(wait);
        else
            surface.paceAccumulator = elapsed * surface.hz;
    }
    if (presentPainter) {
        const int r = surface.r, g = surface.g, b = surface.b;
        presentPainter();
        SetColor(r, g, b);
    }
    const int64_t handedOver = MicroSecs();
    if (surface.open) PlatformPresent(backBuffer);
    LogPresent(sync, handedOver);
    Session().presented++;
    for (const auto& observe : presentObservers) observe();
    PollInput(); // keeps the window responsive, and closable, in screens that read no input
}

void HideMouse() { PlatformShowCursor(false); }
void ShowMouse() { PlatformShowCursor(true); }

void RecordDrawCalls(std::vector<DrawCall>* into) { recorder = into; }
void BeforePresent(std::function<void()> painter) { presentPainter = std::move(painter); }
void OnPresented(std::function<void()> observer) {
    presentObservers.push_back(std::move(observer));
}

uint32_t* BackBuffer() { return backBuffer; }
uint64_t PresentedFrames() { return Session().presented; }
