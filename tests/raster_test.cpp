// Pixel rules of the software rasteriser.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/graphics.h"

namespace {

uint32_t At(int x, int y) { return BackBuffer()[y * kScreenW + x]; }

int Lit() {
    int n = 0;
    for (int i = 0; i < kScreenW * kScreenH; ++i) n += BackBuffer()[i] != 0;
    return n;
}

class Raster : public ::testing::Test {
  protected:
    void SetUp() override {
        Cls();
        SetColor(255, 255, 255);
    }
};

TEST_F(Raster, LinesLightBothEndsAndOnePixelPerStep) {
    DrawLine(10, 10, 10, 10);
    EXPECT_EQ(Lit(), 1);
    EXPECT_EQ(At(10, 10), 0xffffffu);

    Cls();
    DrawLine(5, 7, 25, 7);
    EXPECT_EQ(Lit(), 21);
    EXPECT_NE(At(25, 7), 0u);

    Cls();
    DrawLine(100, 100, 90, 130); // steep, drawn backwards
    EXPECT_EQ(Lit(), 31);
    EXPECT_NE(At(100, 100), 0u);
    EXPECT_NE(At(90, 130), 0u);

    Cls();
    DrawLine(0, 0, 9, 9);
    for (int i = 0; i < 10; ++i) EXPECT_NE(At(i, i), 0u);
    EXPECT_EQ(Lit(), 10);
}

TEST_F(Raster, RealCoordinatesRoundToPixelCentres) {
    Plot(8.4, 12.6);
    EXPECT_NE(At(8, 13), 0u);
    Cls();
    DrawLine(0.4, 0.4, 0.49, 0.2);
    EXPECT_EQ(Lit(), 1);
}

TEST_F(Raster, RectanglesFillTheirAreaAndZeroSizesDrawNothing) {
    DrawRect(10, 20, 3, 2);
    EXPECT_EQ(Lit(), 6);
    EXPECT_NE(At(12, 21), 0u);
    EXPECT_EQ(At(13, 21), 0u);
    Cls();
    DrawRect(10, 20, 0, 5);
    DrawRect(10, 20, 5, 0);
    EXPECT_EQ(Lit(), 0);
    DrawRect(-5, -5, 10, 10); // clipped at the top-left corner
    EXPECT_EQ(Lit(), 25);
    SetColor(0, 0, 0); // solid blend: black erases
    DrawRect(0, 0, 800, 600);
    EXPECT_EQ(Lit(), 0);
}

TEST_F(Raster, HostileCoordinatesAreClippedNotWalked) {
    const double inf = std::numeric_limits<double>::infinity();
    DrawLine(-1e12, 300, 1e12, 300);
    EXPECT_EQ(Lit(), 800);
    Cls();
    DrawLine(std::nan(""), 0, 10, 10);
    DrawRect(inf, 0, 10, 10);
    DrawRect(0, 0, std::nan(""), 10);
    Plot(-1, -1);
    Plot(800, 600);
    DrawLine(-50, -50, -10, -10);
    EXPECT_EQ(Lit(), 0);
    DrawLine(0, -inf, 10, inf); // one pixel per visible row
    EXPECT_EQ(Lit(), 600);
}

TEST_F(Raster, ImagesAreMultipliedByTheColourAndGrabbed) {
    Image img = CreateImage(2, 2, 3);
    ASSERT_TRUE(img);
    img->frames[1] = {0xffffffff, 0xff808080, 0xffff0000, 0xff000000};
    SetColor(0, 0, 255);
    DrawImage(img, 100, 100, 1);
    EXPECT_EQ(At(100, 100), 0x0000ffu);
    EXPECT_EQ(At(101, 100), 0x000080u);
    EXPECT_EQ(At(100, 101), 0u); // red under blue is black
    SetColor(255, 255, 255);
    DrawImage(img, 100, 100, 7);  // no such frame
    DrawImage(nullptr, 100, 100); // missing image
    DrawImage(img, 799, 599, 1);  // mostly off screen
    EXPECT_EQ(At(799, 599), 0xffffffu);

    Cls();
    DrawLine(3, 4, 4, 4);
    GrabImage(img, 3, 4, 2);
    EXPECT_EQ(img->frames[2][0] & 0xffffff, 0xffffffu);
    EXPECT_EQ(img->frames[2][2] & 0xffffff, 0u);
    GrabImage(img, 799, 599, 0); // partly outside: the rest is black
    EXPECT_FALSE(CreateImage(0, 5));
    EXPECT_FALSE(CreateImage(5, 5, 100000));
}

} // namespace
