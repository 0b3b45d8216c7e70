#include "engine/rnd.h"

#include "engine/session.h"

namespace {

void Step() {
    int32_t& state = Session().rnd;
    int32_t next = 48271 * (state % 44488) - 3399 * (state / 44488);
    if (next < 0) next += 2147483647;
    state = next;
}

} // namespace

int32_t KeptSeed(int64_t seed) {
    const int32_t kept = int32_t(uint32_t(seed) & 0x7fffffffu);
    return kept == 0 || kept == 2147483647 ? 0x1234 : kept;
}

void SeedRnd(int64_t seed) { Session().rnd = KeptSeed(seed); }

int32_t RndState() { return Session().rnd; }

double RndDouble() {
    Step();
    const int32_t r1 = Session().rnd & 0x1ffffffc;
    Step();
    const int32_t r2 = Session().rnd & 0x1ffffff8;
    return (r1 + r2 / 134217728.0) / 536870912.0;
}

double Rnd(double a, double b) {
    if (b > a) return a + (b - a) * RndDouble();
    return b + (a - b) * RndDouble();
}
