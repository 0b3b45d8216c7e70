// Immediate-mode 2D drawing into one 800 x 600 software framebuffer.
// Every primitive writes whole pixels in the current colour (solid blend);
// the platform backend only ever sees the finished picture in Flip.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

constexpr int kScreenW = 800;
constexpr int kScreenH = 600;

// Pixels are 0xAARRGGBB; the framebuffer ignores alpha.
struct TImage {
    int width = 0;
    int height = 0;
    int flags = 0;
    std::vector<std::vector<uint32_t>> frames;
};
using Image = std::shared_ptr<TImage>;

// Opens the surface; false (with the reason in GraphicsError()) when no display can be opened.
// depth is the colour depth (always 32 bits here); hz paces Flip(-1); mode 0 opens full screen,
// as a finished game does, and 2 an 800 x 600 window.
bool Graphics(int width, int height, int depth, int hz, int mode);
const std::string& GraphicsError();
void EndGraphics();

// With drawing skipped every drawing call returns at once; frames are still counted and shown.
void SkipDrawing(bool skip);
void Cls();
void SetColor(int r, int g, int b);
void Plot(double x, double y);
void DrawLine(double x1, double y1, double x2, double y2, int lastPixel = 1);
void DrawRect(double x, double y, double width, double height);
void DrawImage(const Image& image, double x, double y, int frame = 0);
Image CreateImage(int width, int height, int frames = 1, int flags = -1);
void GrabImage(const Image& image, int x, int y, int frame = 0);
Image LoadAnimImage(const std::string& path, int cellWidth, int cellHeight, int firstCell,
                    int cellCount, int flags = -1);
void Flip(int sync = -1);
void HideMouse();
void ShowMouse();

// For benchmarks: while a recorder is set, every line, point and rectangle drawn is also
// appended to it, to be replayed elsewhere.
struct DrawCall {
    enum Kind { Line, Point, Rect } kind;
    float a, b, c, d;
    uint8_t r, g, bl;
};
void RecordDrawCalls(std::vector<DrawCall>* into);
// Called after every picture presented (traces, recordings' checkpoints, the end of a replay),
// each observer in the order it was added.
void OnPresented(std::function<void()> observer);
// Called in every Flip before the picture is handed over, to draw over it what is no part of the
// game (the volume for a moment, say); the drawing colour is kept for the game.
void BeforePresent(std::function<void()> painter);

// For the headless twin, tests and benchmarks: the back buffer and a count of presented pictures.
uint32_t* BackBuffer();
uint64_t PresentedFrames();
