#include "sim/bot.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <random>
#include <utility>
#include <vector>

#include "atom/bond.h"
#include "engine/headless/headless.h"
#include "hostiles/mine.h"
#include "hostiles/photon.h"
#include "hostiles/pulsar.h"
#include "hostiles/star.h"
#include "hostiles/tank.h"
#include "sim/danger.h"
#include "sim/hunt.h"
#include "sim/steer.h"
#include "state/field.h"
#include "state/game.h"
#include "state/point.h"
#include "state/world.h"

namespace {

bool Screen(const char* name) { return std::strcmp(CurrentWorld().game.current_screen, name) == 0; }
bool AttractScreen() { return Screen("title") || Screen("scores") || Screen("instructions"); }
bool InPlay() { return Screen("play") || Screen("levelclear"); }

void Queue(HeadlessEvent::Kind kind, int a = 0, int b = 0) { HeadlessQueue({kind, a, b}); }

class IdleBot : public Bot {
  public:
    void AfterFrame(uint64_t) override {}
};

// Fuzzes the input: random motion, clicks, and Escape presses, though only in play: elsewhere
// an Escape press ends the run.
class RandomBot : public Bot {
  public:
    explicit RandomBot(uint64_t seed) : rng_(seed) {}
    void AfterFrame(uint64_t) override {
        std::uniform_int_distribution<int> move(-60, 60), percent(0, 999);
        if (percent(rng_) < 800) Queue(HeadlessEvent::MoveBy, move(rng_), move(rng_));
        if (percent(rng_) < 20) Queue(HeadlessEvent::Press, 1);
        if (percent(rng_) < 25) Queue(HeadlessEvent::Release, 1);
        if (escHeld_)
            Queue(HeadlessEvent::KeyRelease, 27), escHeld_ = false;
        else if (InPlay() && percent(rng_) < 2)
            Queue(HeadlessEvent::KeyPress, 27), escHeld_ = true;
        if (percent(rng_) < 1) Queue(HeadlessEvent::Wheel, move(rng_));
    }

  private:
    std::mt19937_64 rng_;
    bool escHeld_ = false;
};

// Plays the way a person would: starts a game, sweeps loops around the field the molecule moves
// in, holds back from anything deadly, and circles initials when it makes the table.
class PlayerBot : public Bot {
  public:
    // From the level after startLevel on, a bond runner crosses the first live bond it can.
    // A hunting autopilot circles one nucleus at a time, for the short trails of high levels.
    PlayerBot(int startLevel, bool bondRunner, bool hunt)
        : start_(startLevel), bondRunner_(bondRunner), hunt_(hunt) {}
    void AfterFrame(uint64_t) override {
        World& world = CurrentWorld();
        if (AttractScreen()) return Click();
        LetGo();
        if (Screen("picklevel")) return PickLevel();
        if (Screen("highscore")) return Initials();
        if (Screen("play") && hunt_) {
            const auto [px, py] = hunter_.Step();
            return Queue(HeadlessEvent::Move, world.point.x + PointerOffset(px - world.point.x),
                         world.point.y + PointerOffset(py - world.point.y));
        }
        if (InPlay()) return Play();
        hunter_.Reset();
        plan_.clear();
        leg_ = 0;
    }

  private:
    // Levels above 9 need the boxes scrolled first: the point held at the right edge moves them
    // on by two every third frame, up to the highest level offered.
    void PickLevel() {
        const int box = start_ <= 9 ? (start_ - 1) / 2 : 4;
        if (start_ > 9 && scrolled_ < 3 * ((start_ - 9) / 2)) {
            ++scrolled_;
            return Queue(HeadlessEvent::Move, 700, 400);
        }
        Choose(205 + 100 * box, 405);
    }

    // The choosing screens: the point follows the pointer, so a small spiral closes a loop.
    void Choose(int cx, int cy) {
        if (plan_.empty()) {
            plan_.emplace_back(cx - 35, cy + 3);
            for (int k = 0; k < 8; ++k) {
                const double a = (195 + 60 * k) * 3.14159265358979323846 / 180, r = 14 + 1.2 * k;
                plan_.emplace_back(int(std::lround(cx + r * std::cos(a))),
                                   int(std::lround(cy + r * std::sin(a))));
            }
            for (int k = 0; k < 12; ++k) plan_.emplace_back(cx - 60, cy + 40); // let the loop end
        }
        const auto [px, py] = plan_.front();
        plan_.pop_front();
        Queue(HeadlessEvent::Move, px, py);
    }

    void Initials() {
        static const int cells[] = {1, 14, 19, 29}; // B, O, T, then the tick
        if (plan_.empty() && letter_ < 4) {
            const int k = cells[letter_++];
            Choose(215 + 40 * (k % 10), 295 + 90 * (k / 10));
            return;
        }
        if (!plan_.empty()) {
            const auto [px, py] = plan_.front();
            plan_.pop_front();
            Queue(HeadlessEvent::Move, px, py);
        }
    }

    void Click() {
        plan_.clear();
        letter_ = 0;
        scrolled_ = 0;
        if (pressed_) return;
        Queue(HeadlessEvent::Press, 1);
        pressed_ = true;
    }
    void LetGo() {
        if (pressed_) Queue(HeadlessEvent::Release, 1), pressed_ = false;
    }

    // The loop around the field, its legs turning so that no corner closes a loop of its own.
    static constexpr std::pair<int, int> kLoop[] = {{90, 280},  {80, 60},   {700, 45}, {715, 540},
                                                    {110, 555}, {100, 200}, {60, 190}};

    void Play() {
        World& world = CurrentWorld();
        const int n = int(std::size(kLoop));
        auto [tx, ty] = kLoop[leg_ % n];
        if (world.point.x == tx && world.point.y == ty) {
            leg_ = (leg_ + 1) % n;
            std::tie(tx, ty) = kLoop[leg_];
        }
        const bool running = bondRunner_ && world.game.level > start_;
        const bool seekBond =
            running && world.field.bondact == kBondsDeadly && world.bond_list.Count() > 0;
        if (!seekBond || (world.point.x == run_.first && world.point.y == run_.second))
            run_ = {-1, -1};
        if (seekBond) { // through the middle of the first bond, out as far again beyond it
            if (run_.first < 0) {
                const bond& b = *world.bond_list.begin();
                run_ = {std::clamp(int(b.nuc1->x + b.nuc2->x) - world.point.x, 60, 740),
                        std::clamp(int(b.nuc1->y + b.nuc2->y) - world.point.y, 30, 570)};
            }
            std::tie(tx, ty) = run_;
        } else if (running) { // wait for the bonds to go live, clear of the chasers
            std::tie(tx, ty) = Refuge();
        }
        int dx, dy;
        StepToward(world.point.x, world.point.y, tx, ty, dx, dy);
        // Hold back, or sidestep, when the step would touch something deadly.
        const std::pair<int, int> tries[] = {
            {dx, dy},           {dx / 2, dy / 2},  {0, 0},
            {-dx / 2, -dy / 2}, {dy / 2, -dx / 2}, {-dy / 2, dx / 2}};
        for (auto [sx, sy] : tries) {
            if (Safe(world.point.x + sx, world.point.y + sy, !seekBond)) {
                dx = sx, dy = sy;
                break;
            }
        }
        Queue(HeadlessEvent::Move, world.point.x + PointerOffset(dx),
              world.point.y + PointerOffset(dy));
    }

    // The corner to wait in: the current one until a hostile particle comes near, then the
    // one farthest from it.
    std::pair<int, int> Refuge() {
        World& world = CurrentWorld();
        static constexpr std::pair<int, int> kCorners[] = {
            {75, 45}, {725, 50}, {720, 555}, {80, 550}};
        float nearest = 1e9f, hx = 400, hy = 300;
        auto consider = [&](float ex, float ey) {
            const float d = std::hypot(ex - float(world.point.x), ey - float(world.point.y));
            if (d < nearest) nearest = d, hx = ex, hy = ey;
        };
        for (const auto& p : world.phot_list) consider(p.x, p.y);
        for (const auto& t : world.tank_list) consider(t.x, t.y);
        for (const auto& m : world.mine_list) consider(float(m.x), float(m.y));
        for (const auto& s : world.star_list) consider(s.x, s.y);
        for (const auto& p : world.pulsar_list) consider(p.x, p.y);
        if (nearest < 220) {
            float best = -1;
            for (const auto& [cx, cy] : kCorners) {
                const float d = std::hypot(float(cx) - hx, float(cy) - hy);
                if (d > best) best = d, refuge_ = {cx, cy};
            }
        }
        return refuge_;
    }

    std::deque<std::pair<int, int>> plan_;
    int start_;
    bool bondRunner_;
    bool hunt_;
    Hunter hunter_;
    std::pair<int, int> refuge_{75, 45};
    std::pair<int, int> run_{-1, -1};
    int scrolled_ = 0;
    int letter_ = 0;
    int leg_ = 0;
    bool pressed_ = false;
};

} // namespace

std::unique_ptr<Bot> MakeBot(const std::string& name, uint64_t seed) {
    if (name == "idle") return std::make_unique<IdleBot>();
    if (name == "random") return std::make_unique<RandomBot>(seed);
    // "player:N" and "bondrunner:N" start at level N, an odd level the choosing screen offers
    const auto colon = name.find(':');
    const std::string kind = name.substr(0, colon);
    if (kind != "player" && kind != "bondrunner" && kind != "hunter") return nullptr;
    long level = 1;
    if (colon != std::string::npos) {
        char* end = nullptr;
        level = std::strtol(name.c_str() + colon + 1, &end, 10);
        if (*end != '\0' || end == name.c_str() + colon + 1 || level < 1 || level > 999 ||
            level % 2 == 0)
            return nullptr;
    }
    return std::make_unique<PlayerBot>(int(level), kind == "bondrunner", kind == "hunter");
    return nullptr;
}
