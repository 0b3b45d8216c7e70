// The bitmap reader on every depth, on larger headers, and on broken or hostile files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "engine/bitmap.h"
#include "engine/graphics.h"
#include "tests/temp_dir.h"

namespace {

struct BmpSpec {
    int width = 3, height = 2, bpp = 24;
    uint32_t headerSize = 40;
    uint32_t compression = 0;
    uint32_t coloursUsed = 0;
    bool topDown = false;
    std::vector<uint32_t> palette; // 0x00RRGGBB
    std::vector<int> indices;      // per pixel, top row first, for paletted depths
    std::vector<uint32_t> colours; // per pixel, top row first, for 24 and 32 bits
};

void Put(std::vector<uint8_t>& v, uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

std::vector<uint8_t> MakeBmp(const BmpSpec& s) {
    const size_t rowBytes = (size_t(s.width) * s.bpp + 31) / 32 * 4;
    const uint32_t offset = 14 + s.headerSize + uint32_t(s.palette.size() * 4);
    std::vector<uint8_t> v = {'B', 'M'};
    Put(v, offset + uint32_t(rowBytes * s.height), 4);
    Put(v, 0, 4);
    Put(v, offset, 4);
    Put(v, s.headerSize, 4);
    Put(v, uint32_t(s.width), 4);
    Put(v, uint32_t(s.topDown ? -s.height : s.height), 4);
    Put(v, 1, 2);
    Put(v, uint32_t(s.bpp), 2);
    Put(v, s.compression, 4);
    for (int i = 0; i < 3; ++i) Put(v, 0, 4);
    Put(v, s.coloursUsed, 4);
    Put(v, 0, 4);
    v.resize(14 + s.headerSize, 0);
    for (uint32_t c : s.palette) Put(v, c, 4);
    for (int r = 0; r < s.height; ++r) {
        const int row = s.topDown ? r : s.height - 1 - r;
        std::vector<uint8_t> bytes(rowBytes, 0);
        for (int c = 0; c < s.width; ++c) {
            const size_t i = size_t(row * s.width + c);
            switch (s.bpp) {
            case 1:
                bytes[size_t(c / 8)] |= uint8_t(s.indices[i] << (7 - c % 8));
                break;
            case 4:
                bytes[size_t(c / 2)] |= uint8_t(s.indices[i] << (c % 2 ? 0 : 4));
                break;
            case 8:
                bytes[size_t(c)] = uint8_t(s.indices[i]);
                break;
            default:
                for (int k = 0; k < s.bpp / 8; ++k)
                    bytes[size_t(c * s.bpp / 8 + k)] = uint8_t(s.colours[i] >> (8 * k));
            }
        }
        v.insert(v.end(), bytes.begin(), bytes.end());
    }
    return v;
}

std::optional<Bitmap> Decode(const std::vector<uint8_t>& v) {
    return DecodeBitmap(v.data(), v.size());
}

TEST(Bitmap, ReadsEveryDepthBottomUpWithPadding) {
    const std::vector<uint32_t> palette = {0x000000, 0xff0000, 0x00ff00, 0x0000ff};
    for (int bpp : {1, 4, 8}) {
        BmpSpec s;
        s.bpp = bpp;
        s.width = 5; // odd widths exercise the row padding
        s.palette = bpp == 1 ? std::vector<uint32_t>{0x102030, 0xa0b0c0} : palette;
        s.coloursUsed = uint32_t(s.palette.size());
        for (int i = 0; i < 10; ++i) s.indices.push_back(bpp == 1 ? i % 2 : i % 4);
        auto bmp = Decode(MakeBmp(s));
        ASSERT_TRUE(bmp) << bpp;
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(bmp->pixels[size_t(i)] & 0xffffff, s.palette[size_t(s.indices[size_t(i)])])
                << "bpp " << bpp << " pixel " << i;
    }
    for (int bpp : {24, 32}) {
        BmpSpec s;
        s.bpp = bpp;
        s.colours = {0x112233, 0x445566, 0x778899, 0xaabbcc, 0xddeeff, 0x010203};
        auto bmp = Decode(MakeBmp(s));
        ASSERT_TRUE(bmp);
        EXPECT_EQ(bmp->width, 3);
        for (size_t i = 0; i < 6; ++i) EXPECT_EQ(bmp->pixels[i] & 0xffffff, s.colours[i]);
    }
}

TEST(Bitmap, HonoursLargerHeadersTopDownRowsAndShortPalettes) {
    BmpSpec s;
    s.headerSize = 124, s.topDown = true; // V5, as image editors write
    s.colours = {1, 2, 3, 4, 5, 6};
    auto bmp = Decode(MakeBmp(s));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->pixels[5] & 0xffffff, 6u);
    BmpSpec p;
    p.bpp = 8, p.palette = {0xffffff}, p.coloursUsed = 1;
    p.indices = {0, 200, 0, 0, 0, 0}; // index beyond the palette reads black
    bmp = Decode(MakeBmp(p));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->pixels[0] & 0xffffff, 0xffffffu);
    EXPECT_EQ(bmp->pixels[1] & 0xffffff, 0u);
}

TEST(Bitmap, RefusesBrokenAndHostileFiles) {
    BmpSpec s;
    s.colours = {1, 2, 3, 4, 5, 6};
    const auto good = MakeBmp(s);
    for (size_t cut = 0; cut < good.size(); ++cut) {
        std::vector<uint8_t> truncated(good.begin(), good.begin() + long(cut));
        EXPECT_FALSE(Decode(truncated)) << "cut at " << cut;
    }
    auto patched = [&](size_t at, uint32_t value, int bytes = 4) {
        auto v = good;
        for (int i = 0; i < bytes; ++i) v[at + size_t(i)] = uint8_t(value >> (8 * i));
        return Decode(v);
    };
    EXPECT_FALSE(patched(0, 'X', 1));      // magic
    EXPECT_FALSE(patched(18, 0));          // width 0
    EXPECT_FALSE(patched(18, 0x7fffffff)); // absurd width
    EXPECT_FALSE(patched(22, 0x80000000)); // absurd height
    EXPECT_FALSE(patched(18, 60000));      // width x height beyond the data
    EXPECT_FALSE(patched(28, 7, 2));       // unsupported depth
    EXPECT_FALSE(patched(28, 0, 2));
    EXPECT_FALSE(patched(30, 1));          // run-length compressed
    EXPECT_FALSE(patched(14, 0xffffff00)); // header size beyond the file
    EXPECT_FALSE(patched(10, 0xfffffff0)); // pixel offset beyond the file
    EXPECT_FALSE(DecodeBitmap(nullptr, 0));

    BmpSpec p;
    p.bpp = 8;
    p.palette = {0, 0};
    p.coloursUsed = 0xffffffff; // absurd count: only the real palette size is read
    p.indices = {0, 1, 0, 1, 0, 1};
    EXPECT_FALSE(Decode(MakeBmp(p))); // 256 entries claimed, two present: not enough data

    std::vector<uint8_t> garbage(4096);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 131 + 7);
    garbage[0] = 'B', garbage[1] = 'M';
    EXPECT_FALSE(Decode(garbage));
}

} // namespace
