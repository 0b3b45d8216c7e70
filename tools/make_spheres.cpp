// Draws gfx/spheres.bmp: seven 13 x 13 shaded balls (red, green, blue, yellow, magenta, cyan,
// white) side by side in one 91 x 13 uncompressed 24-bit Windows bitmap.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xffff);
    Put16(out, v >> 16);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_spheres OUTPUT.bmp\n");
        return 2;
    }
    const int cell = 13, count = 7, width = cell * count, height = cell;
    const int colours[7][3] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},    {255, 255, 0},
                               {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    std::vector<uint8_t> rgb(size_t(width * height * 3), 0);
    for (int k = 0; k < count; ++k) {
        for (int py = 0; py < cell; ++py) {
            for (int px = 0; px < cell; ++px) {
                // A sphere lit from the upper left, with a soft highlight.
                const double nx = (px + 0.5 - cell / 2.0) / (cell / 2.0);
                const double ny = (py + 0.5 - cell / 2.0) / (cell / 2.0);
                const double rr = nx * nx + ny * ny;
                if (rr > 1.0) continue;
                const double nz = std::sqrt(1.0 - rr);
                const double lx = -0.45, ly = -0.55, lz = 0.70;
                const double diffuse = std::max(0.0, nx * lx + ny * ly + nz * lz);
                const double spec = std::pow(std::max(0.0, nz * 0.9 - nx * 0.3 - ny * 0.35), 12.0);
                const double shade = 0.22 + 0.78 * diffuse;
                uint8_t* p = &rgb[size_t((py * width + k * cell + px) * 3)];
                for (int c = 0; c < 3; ++c) {
                    const double v = colours[k][c] * shade + 255.0 * 0.55 * spec;
                    p[c] = uint8_t(std::clamp(v, 0.0, 255.0));
                }
            }
        }
    }
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, uint32_t(54 + rowBytes * height));
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, uint32_t(width));
    Put32(out, uint32_t(height));
    Put16(out, 1);
    Put16(out, 24);
    for (int i = 0; i < 6; ++i) Put32(out, 0);
    for (int row = height - 1; row >= 0; --row) { // bottom row first
        for (int px = 0; px < width; ++px) {
            const uint8_t* p = &rgb[size_t((row * width + px) * 3)];
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
        }
        for (int pad = width * 3; pad < rowBytes; ++pad) out.push_back(0);
    }
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
