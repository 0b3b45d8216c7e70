// Sine and cosine the same to the last bit in every build. The C libraries differ in their last
// bits (glibc and musl, which the WebAssembly build uses, round some arguments differently), so
// the game computes them itself, in double-double arithmetic, and rounds once at the end: the
// correctly rounded value, which is what glibc returns for every argument the game has been
// seen to use. Nothing here calls the C library, and every step is a plain IEEE operation.
#include "engine/mathx.h"

#include <cmath>
#include <initializer_list>

namespace {

struct DD {
    double hi, lo;
};

DD TwoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

DD QuickTwoSum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// Veltkamp's split and Dekker's product: exact without a fused multiply-add.
DD TwoProd(double a, double b) {
    constexpr double kSplit = 134217729.0; // 2^27 + 1
    const double p = a * b;
    const double ca = kSplit * a, cb = kSplit * b;
    const double ah = ca - (ca - a), al = a - ah;
    const double bh = cb - (cb - b), bl = b - bh;
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

DD Add(DD a, DD b) {
    DD s = TwoSum(a.hi, b.hi);
    const DD t = TwoSum(a.lo, b.lo);
    s.lo += t.hi;
    s = QuickTwoSum(s.hi, s.lo);
    s.lo += t.lo;
    return QuickTwoSum(s.hi, s.lo);
}

DD Mul(DD a, DD b) {
    DD p = TwoProd(a.hi, b.hi);
    p.lo += a.hi * b.lo + a.lo * b.hi;
    return QuickTwoSum(p.hi, p.lo);
}

DD Div(DD a, double b) {
    const double q1 = a.hi / b;
    const DD p = TwoProd(q1, b);
    const DD r = Add(a, {-p.hi, -p.lo});
    const double q2 = r.hi / b;
    return QuickTwoSum(q1, q2);
}

// pi / 2 in three parts, about 160 bits in all.
constexpr double kHalfPi1 = 1.5707963267948966;
constexpr double kHalfPi2 = 6.123233995736766e-17;
constexpr double kHalfPi3 = -1.4973849048591698e-33;

// Taylor series of sin r or cos r (|r| <= pi/4), summed until the terms vanish in double-double.
DD Series(DD r, bool sine) {
    const DD r2 = Mul(r, r);
    DD term = sine ? r : DD{1.0, 0.0};
    DD sum = term;
    for (int k = sine ? 2 : 1; k < 40; k += 2) {
        term = Div(Div(Mul(term, r2), -double(k)), double(k + 1));
        if (std::fabs(term.hi) < 1e-40) break;
        sum = Add(sum, term);
    }
    return sum;
}

// sin x (quarter 0) or cos x (quarter 1), correctly rounded for |x| up to about a million.
double SinOrCos(double x, int quarter) {
    if (!(std::fabs(x) < 1e6)) return quarter ? std::cos(x) : std::sin(x); // never in the game
    const double n = std::nearbyint(x * 0.6366197723675814);               // x / (pi / 2)
    DD r = TwoSum(x, 0.0);
    for (double part : {kHalfPi1, kHalfPi2, kHalfPi3}) {
        const DD p = TwoProd(n, part);
        r = Add(r, {-p.hi, -p.lo});
    }
    const int q = (int(std::fmod(n, 4.0)) + 4 + quarter) % 4;
    const DD v = Series(r, q % 2 == 0);
    return q >= 2 ? -(v.hi + v.lo) : v.hi + v.lo;
}

} // namespace

double Sin(double degrees) { return SinOrCos(degrees * 0.017453292519943295, 0); }
double Cos(double degrees) { return SinOrCos(degrees * 0.017453292519943295, 1); }
