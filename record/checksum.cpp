#include "record/checksum.h"

#include <cstring>
#include <string>

#include "engine/graphics.h"
#include "engine/input.h"
#include "engine/rnd.h"
#include "record/trace.h"
#include "state/field.h"
#include "state/game.h"
#include "state/point.h"
#include "state/trail.h"
#include "state/world.h"

namespace {

// FNV-1a: fast and plenty for this (a forger gains nothing from a collision, since the board
// replays every game anyway).
struct Sum {
    uint64_t value = 0xcbf29ce484222325u;
    void Bytes(const std::string& text) {
        for (const unsigned char c : text) value = (value ^ c) * 0x100000001b3u;
    }
    void Add(int64_t n) {
        for (int i = 0; i < 8; ++i) value = (value ^ uint8_t(n >> (8 * i))) * 0x100000001b3u;
    }
    void Add(float f) {
        uint32_t bits; // the exact value: std::bit_cast is missing from the web build's library
        std::memcpy(&bits, &f, sizeof bits);
        Add(int64_t(bits));
    }
};

} // namespace

uint64_t StateChecksum() {
    World& world = CurrentWorld();
    Sum sum;
    sum.Bytes(TraceLine(PresentedFrames(), 0, true, {}));
    sum.Add(int64_t(RndState()));
    sum.Add(int64_t(PollCount()));
    // What the trace leaves out: the trail's every segment, the point's timers, the counters
    // that decide what comes next.
    for (const int64_t n :
         {int64_t(world.point.xm), int64_t(world.point.ym), int64_t(world.point.pwtimer),
          int64_t(world.point.nucskilled), int64_t(world.point.dead), int64_t(world.trail.segdur),
          int64_t(world.trail.xold), int64_t(world.trail.yold), int64_t(world.trail.counter),
          int64_t(world.game.playgame), int64_t(world.game.gameover),
          int64_t(world.game.numfreemen), world.game.bonus, int64_t(world.game.dcount),
          int64_t(world.field.bondact), int64_t(world.field.startimer),
          int64_t(world.field.phtimer), int64_t(world.field.phcol)})
        sum.Add(n);
    sum.Add(world.field.bcount);
    for (const seg& s : world.seg_list) {
        for (const float f : {s.x1, s.y1, s.x2, s.y2}) sum.Add(f);
        sum.Add(int64_t(s.life) << 32 | uint32_t(s.shrink));
    }
    return sum.value;
}
