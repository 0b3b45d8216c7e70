// Draws the application icons with the game's own rasteriser: the reticle on a dark ball.
// Usage: make_icons OUTPUT_FOLDER  (writes koravel-48.png to koravel-512.png: 48, 128 and 256 for
// the desktop, 192 and 512 for the web page)
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/graphics.h"
#include "player/player.h"
#include "sim/png.h"
#include "state/point.h"
#include "state/trail.h"
#include "state/world.h"

namespace {

bool Icon(int size, const std::string& path) {
    World& world = CurrentWorld();
    Cls();
    // The ball: a dark blue sphere, lit from the upper left, drawn row by row.
    const double r = size / 2.0 - 1;
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            const double nx = (px + 0.5 - size / 2.0) / r, ny = (py + 0.5 - size / 2.0) / r;
            if (nx * nx + ny * ny > 1) continue;
            const double light =
                std::max(0.0, -0.5 * nx - 0.6 * ny + 0.62 * std::sqrt(1 - nx * nx - ny * ny));
            SetColor(int(10 + 40 * light), int(10 + 40 * light), int(40 + 110 * light));
            Plot(px, py);
        }
    }
    // The reticle, as the game draws it, drawn several times a pixel apart for weight.
    world.point.pw = size * 2 / 5;
    world.trail.counter = 0;
    const int weight = std::max(1, size / 48);
    for (int dy = 0; dy < weight; ++dy)
        for (int dx = 0; dx < weight; ++dx) {
            world.point.x = size / 2 + dx - weight / 2, world.point.y = size / 2 + dy - weight / 2;
            RenderPlayer();
        }
    return WritePng(path, BackBuffer(), size, size, kScreenW, true);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons OUTPUT_FOLDER\n");
        return 2;
    }
    for (int size : {48, 128, 192, 256, 512}) {
        const std::string path = std::string(argv[1]) + "/koravel-" + std::to_string(size) + ".png";
        if (!Icon(size, path)) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
