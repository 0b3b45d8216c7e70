#include "sim/hunt.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "atom/bond.h"
#include "atom/nucleus.h"
#include "hostiles/star.h"
#include "sim/danger.h"
#include "sim/steer.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/loop.h"
#include "state/point.h"
#include "state/world.h"

namespace {

using Point = std::pair<int, int>;

// Something that moves in a straight line and bounces off the frame the molecule moves in.
struct Target {
    float x, y, dx, dy;
    bool bonded;
};

// Where a target will be after `frames` updates: it moves, then bounces off its frame.
std::pair<float, float> Predict(const Target& n, int frames) {
    float px = n.x, py = n.y, dx = n.dx, dy = n.dy;
    for (int i = 0; i < frames; ++i) {
        px += dx;
        BounceX(px, dx);
        py += dy;
        BounceY(py, dy);
    }
    return {px, py};
}

// The positions the point passes through along the waypoints from (fx, fy), one a frame.
std::vector<Point> Positions(int fx, int fy, const std::vector<Point>& path) {
    std::vector<Point> out;
    for (const auto& [tx, ty] : path) {
        while ((fx != tx || fy != ty) && out.size() < 40) {
            int dx, dy;
            StepToward(fx, fy, tx, ty, dx, dy);
            fx += dx, fy += dy;
            out.emplace_back(fx, fy);
        }
    }
    return out;
}

bool Bonded(const nuc& n) {
    for (const auto& b : CurrentWorld().bond_list)
        if (b.nuc1.get() == &n || b.nuc2.get() == &n) return true;
    return false;
}

int Sign(int v) { return (v > 0) - (v < 0); }

// A clockwise square of half side h around (cx, cy), turned by quarter turns, entered at a
// corner and left just past it, so that the last side crosses the first. Its sides lean a
// little: no turn then reverses both directions and no side is upright (either would close a
// loop of its own), and each side's bounding box stays a thin strip away from the middle, where
// a nucleus would cut it.
std::vector<Point> Square(float cx, float cy, int h, int turns) {
    const int base[5][2] = {{-h, -h}, {h, -h + 4}, {h - 4, h}, {-h, h - 4}, {-h + 4, -h - 10}};
    std::vector<Point> path;
    for (const auto& v : base) {
        int ox = v[0], oy = v[1];
        for (int k = 0; k < turns; ++k) std::tie(ox, oy) = std::pair(-oy, ox);
        path.emplace_back(int(cx) + ox, int(cy) + oy);
    }
    return path;
}

// Whether a nucleus would cut the loop's sides before it closes: the trail is cut where a
// nucleus overlaps a segment's bounding box. `steps` are the point's positions a frame apart
// and the loop's sides start at steps[first].
bool Cut(const std::vector<Target>& nuclei, const std::vector<Point>& steps, size_t first) {
    for (size_t j = first + 1; j < steps.size(); ++j) {
        for (const auto& n : nuclei) {
            const auto [nx, ny] = Predict(n, int(j) + 1);
            for (size_t i = first; i < j; ++i) {
                const auto [ax, ay] = steps[i];
                const auto [bx, by] = steps[i + 1];
                if (RectsOverlap(int(nx - 1), int(ny - 1), 3, 3, std::min(ax, bx), std::min(ay, by),
                                 std::abs(bx - ax), std::abs(by - ay)))
                    return true;
            }
        }
    }
    return false;
}

bool InField(const Point& p) {
    return p.first >= 62 && p.first <= 738 && p.second >= 32 && p.second <= 568;
}

} // namespace

bool Hunter::PlanLoop() {
    World& world = CurrentWorld();
    struct Choice {
        std::vector<Point> path;
        int frames;
    };
    std::vector<Target> nuclei, targets;
    for (const auto& n : world.nuc_list)
        if (n.active != kSlotFree && !n.caught) nuclei.push_back({n.x, n.y, n.dx, n.dy, Bonded(n)});
    targets = nuclei;
    // A lone star is left alone; once stars have split they crowd the field, so they are caught.
    if (world.field.starsalive > 1)
        for (const auto& s : world.star_list)
            if (!s.caught) targets.push_back({s.x, s.y, s.dx, s.dy, false});
    std::vector<Choice> choices;
    for (const auto& n : targets) {
        for (int h : {36, 46}) {
            for (int turns = 0; turns < 4; ++turns) {
                std::vector<Point> path, steps;
                int frames = 8;
                for (int pass = 0; pass < 3; ++pass) { // aim where it will be as the loop closes
                    const auto [cx, cy] = Predict(n, frames);
                    path = Square(cx, cy, h, turns);
                    steps = Positions(world.point.x, world.point.y, path);
                    frames = int(steps.size());
                }
                if (!std::all_of(path.begin(), path.end(), InField) || frames > 12) continue;
                // The way in must not reverse both directions of the first side, nor be upright.
                const int ax = path[0].first - world.point.x, ay = path[0].second - world.point.y;
                const int sx = path[1].first - path[0].first, sy = path[1].second - path[0].second;
                if (ax == 0 || (Sign(ax) == -Sign(sx) && Sign(ay) == -Sign(sy))) continue;
                // A bonded target only while bonds stay harmless until the loop is done.
                if (n.bonded &&
                    (world.field.bondact == kBondsDeadly ||
                     world.field.bcount + float(frames) + 2 >= float(world.difficulty.bcountdead)))
                    continue;
                steps.insert(steps.begin(), Point{world.point.x, world.point.y});
                const auto start = std::find(steps.begin(), steps.end(), path[0]);
                if (Cut(nuclei, steps, size_t(start - steps.begin()))) continue;
                choices.push_back({path, frames});
            }
        }
    }
    if (choices.empty()) return false;
    const auto best =
        std::min_element(choices.begin(), choices.end(),
                         [](const Choice& a, const Choice& b) { return a.frames < b.frames; });
    path_.assign(best->path.begin(), best->path.end());
    soon_ = best->frames;
    return true;
}

std::pair<int, int> Hunter::Evade() const {
    World& world = CurrentWorld();
    Point best{world.point.x, world.point.y};
    float bestScore = -1e9f;
    for (int ring = 0; ring <= 3; ++ring) {
        const int steps = ring == 0 ? 1 : 16;
        for (int k = 0; k < steps; ++k) {
            const double a = k * 2 * 3.14159265358979323846 / steps;
            const int r = ring * 45;
            const int tx = std::clamp(world.point.x + int(r * std::cos(a)), 60, 740);
            const int ty = std::clamp(world.point.y + int(r * std::sin(a)), 30, 570);
            int dx, dy;
            StepToward(world.point.x, world.point.y, tx, ty, dx, dy);
            if (!Safe(world.point.x + dx, world.point.y + dy, true) ||
                CrossesLiveBond(world.point.x, world.point.y, world.point.x + dx,
                                world.point.y + dy, 2, 8.0f))
                continue;
            // Room around, and a pull towards the middle so the nuclei stay within reach.
            const float score = Clearance(world.point.x + dx, world.point.y + dy, 160.0f) -
                                0.05f * std::hypot(float(world.point.x + dx - 400),
                                                   float(world.point.y + dy - 300));
            if (score > bestScore)
                bestScore = score, best = {world.point.x + dx, world.point.y + dy};
        }
    }
    return best;
}

std::pair<int, int> Hunter::Step() {
    World& world = CurrentWorld();
    if (path_.empty() && !PlanLoop()) return Evade();
    auto [tx, ty] = path_.front();
    int dx, dy;
    StepToward(world.point.x, world.point.y, tx, ty, dx, dy);
    if (!Safe(world.point.x + dx, world.point.y + dy, false) ||
        CrossesLiveBond(world.point.x, world.point.y, world.point.x + dx, world.point.y + dy,
                        soon_ + 1, 8.0f)) {
        path_.clear(); // give the loop up
        return Evade();
    }
    if (world.point.x + dx == tx && world.point.y + dy == ty) path_.pop_front();
    soon_ = std::max(0, soon_ - 1);
    return {world.point.x + dx, world.point.y + dy};
}
