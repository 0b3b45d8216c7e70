// Text conversions, the game's maths and the random generator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "engine/files.h"
#include "engine/mathx.h"
#include "engine/rnd.h"
#include "engine/text.h"
#include "tests/temp_dir.h"

namespace {

TEST(Random, FollowsTheMinimalStandardGenerator) {
    // Reference: state = 48271 * state mod (2^31 - 1), computed directly in 64 bits.
    for (int64_t seed : {1, 12345, 987654321, 2147483646}) {
        SeedRnd(seed);
        int64_t s = seed;
        for (int i = 0; i < 1000; ++i) {
            s = s * 48271 % 2147483647;
            const int64_t r1 = s & 0x1ffffffc;
            s = s * 48271 % 2147483647;
            const int64_t r2 = s & 0x1ffffff8;
            const double expected = (double(r1) + double(r2) / 134217728.0) / 536870912.0;
            ASSERT_EQ(RndDouble(), expected) << "seed " << seed << " draw " << i;
        }
    }
    SeedRnd(0);
    EXPECT_EQ(RndState(), 4660);
    SeedRnd(2147483647);
    EXPECT_EQ(RndState(), 4660);
    SeedRnd(-1); // top bit cleared
    EXPECT_EQ(RndState(), 4660);
    SeedRnd(int64_t(0x80000005));
    EXPECT_EQ(RndState(), 5);
    for (int i = 0; i < 1000; ++i) {
        const double v = Rnd(5, 2);
        EXPECT_GE(v, 2.0);
        EXPECT_LT(v, 5.0);
        const double u = RndDouble();
        EXPECT_GE(u, 0.0);
        EXPECT_LT(u, 1.0);
    }
}

TEST(Text, ConversionsAndSubstrings) {
    EXPECT_EQ(ToInt("  -12x"), -12);
    EXPECT_EQ(ToInt("x12"), 0);
    EXPECT_EQ(ToInt("$1F"), 31);
    EXPECT_EQ(ToInt("%101"), 5);
    EXPECT_EQ(ToInt("99999999999999999999"), 2147483647);
    EXPECT_EQ(ToInt("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(int(10 * k035), 3);
    EXPECT_EQ(int(2 * k035), 0);
    EXPECT_EQ(int(10 * k07), 6);
}

// The game's own sine and cosine are the correctly rounded ones: they differ from glibc's only
// where glibc rounds the other way, and never in what the fragments keep (single precision).
TEST(Maths, SineAndCosineKeepWhatGlibcGaveTheFragments) {
    EXPECT_EQ(Sin(0), 0.0);
    EXPECT_EQ(Sin(90), 1.0);
    EXPECT_EQ(Cos(180), -1.0);
    EXPECT_EQ(Sin(30), 0.49999999999999994); // pi/6 as a double is a little short
    EXPECT_EQ(Cos(-60), std::cos(-60 * 0.017453292519943295));
    std::mt19937_64 random(7);
    const double turn = 17 * (16 + 2 * 3.14159265358979323846); // every angle CreateFrags makes
    std::uniform_real_distribution<double> angle(0, turn), speed(double(0.6f), 4);
    int doubles = 0;
    for (int i = 0; i < 200000; ++i) {
        const double a = angle(random), r = speed(random), x = a * 0.017453292519943295;
        ASSERT_EQ(float(Cos(a) * r), float(std::cos(x) * r)) << a;
        ASSERT_EQ(float(Sin(a) * r), float(std::sin(x) * r)) << a;
        doubles += (Cos(a) != std::cos(x)) + (Sin(a) != std::sin(x));
    }
    EXPECT_LT(doubles, 2000); // about 0.15 % of glibc's doubles are rounded the other way
}

} // namespace
