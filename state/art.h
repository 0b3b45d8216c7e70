// The game's art: the colour table, the nuclei's sprite sheet, and the instructions screen's
// demonstration path.
#pragma once
#include <array>
#include <memory>

#include "engine/graphics.h"
#include "entity/list.h"

struct col;
template <> KindList<col>& ListOf<col>(); // the World holds it

struct col : Kind<col> {
    int r = 0, g = 0, b = 0;
};

struct digit;

// What start-up loads and binds for drawing.
struct Art {
    // Seven colours in slots 0..6 (red, green, blue, yellow, magenta, cyan, white); slot 7
    // stays empty.
    std::array<std::shared_ptr<col>, 8> cols;
    std::array<int, 31> demoposx{};
    std::array<int, 31> demoposy{};
    // Seven 13 x 13 frames, one for each colour.
    Image spheres;
};

// The vector font: each character's strokes, and each colour's glyphs drawn once.
struct FontArt {
    std::array<int, 101> letterlen{};
    std::array<std::array<std::shared_ptr<digit>, 7>, 101> letters;
    Image vecfontr, vecfontg, vecfontb, vecfontw;
};

constexpr int kColourTable[7][3] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},    {255, 255, 0},
                                    {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
constexpr int kDemoPath[30][2] = {
    {450, 300}, {430, 320}, {410, 340}, {385, 360}, {370, 370}, {340, 380}, {300, 390}, {270, 380},
    {250, 350}, {240, 320}, {230, 280}, {230, 260}, {240, 220}, {270, 180}, {290, 140}, {305, 100},
    {310, 80},  {305, 55},  {275, 30},  {250, 25},  {220, 40},  {205, 60},  {200, 80},  {205, 105},
    {220, 130}, {245, 145}, {260, 150}, {280, 145}, {310, 130}, {330, 110}};
